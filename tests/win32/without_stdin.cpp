// Starts the program named by its argument with no standard input handle at
// all, as a Windows parent can, and exits with the program's exit status.
#include <cstdio>

#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: without-stdin PROGRAM\n");
    return 2;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(argv[1], nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "CreateProcess failed: %lu\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 2;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
