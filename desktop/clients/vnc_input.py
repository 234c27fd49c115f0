"""A VNC viewer without a view: the pointer, the keyboard and the screen of a
compositor that takes input only from its remote-access clients (weston's
VNC backend), through one connection that lasts the whole session.

    vnc_input.py PORT USER

It logs in by VeNCrypt's X.509-plain security (TLS, then a user name and an
empty password, which the compositor's own login checks), says "ready",
then serves the commands of input_commands.h ("move", "button", "key",
"press", "release", "quit"), answering each with "ok" once the server has
answered a request sent after it, or "error: ...", and one more:

    screen PATH   the whole screen as a binary PPM file at PATH
"""

import socket
import ssl
import struct
import sys

VENCRYPT, X509_PLAIN = 19, 262
POINTER_EVENT, UPDATE_REQUEST, SET_ENCODINGS, QEMU_MESSAGE = 5, 3, 2, 255
RAW = 0
# Keys go as QEMU's extended key events, by their place on the keyboard:
# weston takes modifiers other than Ctrl and Alt only from these, not from
# a plain key event's keysym.
QEMU_KEYS = -258
# The keys the tests name: (X keysym, QEMU key number, the PC scan code).
KEYS = {"shift": (0xFFE1, 0x2A), "ctrl": (0xFFE3, 0x1D), "alt": (0xFFE9, 0x38),
        "super": (0xFFEB, 0xDB), "return": (0xFF0D, 0x1C), "tab": (0xFF09, 0x0F),
        "escape": (0xFF1B, 0x01), "space": (0x20, 0x39), "comma": (0x2C, 0x33),
        "semicolon": (0x3B, 0x27),
        **{f"f{n}": (0xFFBD + n, 0x3A + n) for n in range(1, 11)},
        "f11": (0xFFC8, 0x57), "f12": (0xFFC9, 0x58),
        **{c: (ord(c), 0x02 + i) for i, c in enumerate("1234567890")},
        **{c: (ord(c), first + i) for first, row in ((0x10, "qwertyuiop"), (0x1E, "asdfghjkl"),
                                                      (0x2C, "zxcvbnm"))
           for i, c in enumerate(row)}}


class Session:
    def __init__(self, port, user):
        raw = self.sock = socket.create_connection(("127.0.0.1", port), timeout=20)
        self.exact(12)
        raw.sendall(b"RFB 003.008\n")
        if VENCRYPT not in self.exact(self.exact(1)[0]):
            raise RuntimeError("the server offers no VeNCrypt")
        raw.sendall(bytes([VENCRYPT]))
        self.exact(2)
        raw.sendall(bytes([0, 2]))
        if self.exact(1) != b"\0":
            raise RuntimeError("the server refused VeNCrypt 0.2")
        count = self.exact(1)[0]
        if X509_PLAIN not in struct.unpack(f">{count}I", self.exact(4 * count)):
            raise RuntimeError("the server offers no X.509-plain security")
        raw.sendall(struct.pack(">I", X509_PLAIN))
        if self.exact(1) != b"\1":
            raise RuntimeError("the server refused X.509-plain security")
        # The server's certificate is one made for this session.
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
        self.sock = context.wrap_socket(raw)
        name = user.encode()
        self.sock.sendall(struct.pack(">II", len(name), 0) + name)
        if self.exact(4) != b"\0\0\0\0":
            raise RuntimeError(f"the server did not let {user} in")
        self.sock.sendall(b"\1")  # shared
        self.width, self.height = struct.unpack(">HH", self.exact(4))
        # 32 bits a pixel, little-endian, red at bit 16: B, G, R, X in memory.
        self.exact(16)
        self.exact(struct.unpack(">I", self.exact(4))[0])
        self.sock.sendall(struct.pack(">BxHii", SET_ENCODINGS, 2, RAW, QEMU_KEYS))
        # The server answers its first request once the compositor has
        # painted a frame after the connection: the pointer's arrival in the
        # middle of the screen makes it paint one.
        self.buttons, self.x, self.y = 0, self.width // 2, self.height // 2
        self.pointer()
        self.update(0, 0, 1, 1)

    def exact(self, size):
        data = b""
        while len(data) < size:
            chunk = self.sock.recv(size - len(data))
            if not chunk:
                raise ConnectionError("the server closed the connection")
            data += chunk
        return data

    def update(self, x, y, width, height):
        """The screen's BGRX bytes of a rectangle, once the server has
        answered every request sent before."""
        pixels = bytearray(width * height * 4)
        # The server's one word that it takes QEMU's key events comes as an
        # update of its own, with no pixels: then it is asked again.
        painted = False
        while not painted:
            self.sock.sendall(struct.pack(">BBHHHH", UPDATE_REQUEST, 0, x, y, width, height))
            kind = self.exact(1)[0]
            if kind != 0:
                raise RuntimeError(f"unexpected server message {kind}")
            count = struct.unpack(">xH", self.exact(3))[0]
            for _ in range(count):
                rx, ry, rw, rh, encoding = struct.unpack(">HHHHi", self.exact(12))
                if encoding == QEMU_KEYS:
                    continue
                if encoding != RAW:
                    raise RuntimeError(f"unexpected encoding {encoding}")
                data = self.exact(rw * rh * 4)
                for row in range(rh):
                    at = ((ry - y + row) * width + rx - x) * 4
                    pixels[at:at + rw * 4] = data[row * rw * 4:(row + 1) * rw * 4]
                painted = True
        return pixels

    def pointer(self):
        self.sock.sendall(struct.pack(">BBHH", POINTER_EVENT, self.buttons, self.x, self.y))

    def keys(self, names, press, release):
        keys = [KEYS.get(name.lower()) for name in names.split("+")]
        if None in keys:
            raise ValueError("unknown key")
        for sym, code in keys if press else []:
            self.sock.sendall(struct.pack(">BBHII", QEMU_MESSAGE, 0, 1, sym, code))
        for sym, code in reversed(keys) if release else []:
            self.sock.sendall(struct.pack(">BBHII", QEMU_MESSAGE, 0, 0, sym, code))

    def command(self, words):
        if words[0] == "move" and len(words) == 3:
            self.x, self.y = int(words[1]), int(words[2])
            self.pointer()
        elif words[0] == "button" and words[1:2] in (["1"], ["0"]) and words[2:] in ([], ["right"]):
            # The button mask: bit 0 the left button, bit 2 the right.
            self.buttons = (4 if words[2:] else 1) if words[1] == "1" else 0
            self.pointer()
        elif words[0] in ("key", "press", "release") and len(words) == 2:
            self.keys(words[1], words[0] != "release", words[0] != "press")
        elif words[0] == "screen" and len(words) == 2:
            bgrx = self.update(0, 0, self.width, self.height)
            rgb = bytearray(self.width * self.height * 3)
            for channel in range(3):
                rgb[channel::3] = bgrx[2 - channel::4]
            with open(words[1], "wb") as picture:
                picture.write(b"P6 %d %d 255\n" % (self.width, self.height) + rgb)
            return
        else:
            raise ValueError("unknown command")
        # The server answers in order: its answer to a request of one pixel
        # comes after it has taken the input.
        self.update(0, 0, 1, 1)


def main():
    session = Session(int(sys.argv[1]), sys.argv[2])
    print("ready", flush=True)
    for line in sys.stdin:
        words = line.split()
        if words == ["quit"]:
            print("ok", flush=True)
            return
        try:
            session.command(words or ["none"])
        except ValueError as why:
            print(f"error: {why}", flush=True)
            continue
        print("ok", flush=True)


if __name__ == "__main__":
    main()
