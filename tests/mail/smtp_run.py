#!/usr/bin/env python3
"""Runs the mail driver against SMTP servers on 127.0.0.1 and checks what arrives.

  smtp_run.py --suite table|delivery|all [--wine] -- CLIENT-COMMAND...

"table": a scripted server of our own plays back replies (refusals, a dropped
connection, silence) on a free port and records what the client sent. "delivery": a real
aiosmtpd server on port 25 (the client's default) receives a mail with a 1 MiB
attachment, which is parsed with the email package. Every wait is bounded.
"""
import argparse
import email
import email.header
import email.policy
import email.utils
import os
import random
import socket
import subprocess
import sys
import tempfile
import threading
import time

CLIENT_TIMEOUT = 180
WINE = False
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what, file=sys.stderr)


class ScriptedServer(threading.Thread):
    """One connection: replies from a table; records command lines and DATA bytes."""

    def __init__(self, replies, greeting="220 scripted ready\r\n", drop_in_data=False,
                 silent=False):
        super().__init__(daemon=True)
        self.replies = replies
        self.greeting = greeting
        self.drop_in_data = drop_in_data
        self.silent = silent
        self.commands = []
        self.data = b""
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(1)
        self.sock.settimeout(CLIENT_TIMEOUT)
        self.port = self.sock.getsockname()[1]
        self.rcpt = 0

    def reply(self, conn, key):
        r = self.replies.get(key, "250 ok")
        if isinstance(r, list):
            r = r[min(self.rcpt, len(r) - 1)]
        conn.sendall(r.encode())

    def run(self):
        try:
            conn, _ = self.sock.accept()
        except OSError:
            return
        conn.settimeout(CLIENT_TIMEOUT)
        with conn:
            if self.silent:
                try:
                    conn.recv(1)  # until the client gives up
                except OSError:
                    pass
                return
            conn.sendall(self.greeting.encode())
            buf = b""
            in_data = False
            try:
                while True:
                    chunk = conn.recv(65536)
                    if not chunk:
                        return
                    buf += chunk
                    if in_data:
                        if self.drop_in_data and len(buf) > 4096:
                            self.data = buf
                            conn.shutdown(socket.SHUT_RDWR)
                            return
                        end = buf.find(b"\r\n.\r\n")
                        if end < 0:
                            continue
                        self.data = buf[:end + 2]
                        buf = buf[end + 5:]
                        in_data = False
                        self.reply(conn, "END")
                    while b"\r\n" in buf and not in_data:
                        line, buf = buf.split(b"\r\n", 1)
                        text = line.decode("latin-1")
                        self.commands.append(text)
                        verb = text.split(":")[0].split(" ")[0].upper()
                        if verb == "RCPT":
                            self.reply(conn, "RCPT")
                            self.rcpt += 1
                        elif verb == "DATA":
                            self.reply(conn, "DATA")
                            if self.replies.get("DATA", "354").startswith("354"):
                                in_data = True
                        elif verb == "QUIT":
                            self.reply(conn, "QUIT")
                            return
                        else:
                            self.reply(conn, verb)
            except OSError:
                return


def run_client(client, args):
    try:
        p = subprocess.run(client + args, capture_output=True, timeout=CLIENT_TIMEOUT)
    except subprocess.TimeoutExpired:
        return None, "client did not end in time"
    return p.returncode, p.stderr.decode("latin-1")


TEXT_LINES = [b".", b".hidden", b"..two", b"plain", b""]


def table(client, work):
    text = os.path.join(work, "text.txt")
    with open(text, "wb") as f:
        f.write(b"\r\n".join(TEXT_LINES) + b"\r\n")
    big = os.path.join(work, "big.bin")
    with open(big, "wb") as f:
        f.write(random.Random(3).randbytes(1 << 20))
    ok_replies = {"HELO": "250-first\r\n250 second\r\n", "MAIL": "250 sender ok\r\n",
                  "RCPT": "250 rcpt ok\r\n", "DATA": "354 go ahead\r\n",
                  "END": "250 queued\r\n", "QUIT": "221 bye\r\n"}

    def with_(**kw):
        r = dict(ok_replies)
        r.update(kw)
        return r

    # name, server arguments, extra client arguments, rc, stderr parts, command checks
    cases = [
        ("accepted", dict(replies=ok_replies, greeting="220 ready\n"), [], 0, [],
         lambda c: c[1:] == ["MAIL FROM:<a@x.test>", "RCPT TO:<b@y.test>",
                             "RCPT TO:<c@y.test>", "DATA", "QUIT"] and c[0].startswith("HELO ")),
        ("greeting refused", dict(replies=ok_replies, greeting="554 go away\r\n"), [], 1,
         ["go away"], lambda c: c == ["QUIT"]),
        ("sender refused", dict(replies=with_(MAIL="553 sender rejected\r\n")), [], 1,
         ["sender rejected"], lambda c: c[1:] == ["MAIL FROM:<a@x.test>", "QUIT"]),
        ("one recipient refused",
         dict(replies=with_(RCPT=["250 ok\r\n", "550 no such user\r\n"])), [], 0,
         ["c@y.test", "550", "no such user"],
         lambda c: "DATA" in c and c[-1] == "QUIT"),
        ("all recipients refused", dict(replies=with_(RCPT="550 no such user\r\n")), [], 1,
         ["b@y.test", "c@y.test", "no such user"],
         lambda c: "DATA" not in c and c[-1] == "QUIT"),
        ("DATA refused", dict(replies=with_(DATA="451-first\r\n451 try later\r\n")), [], 1,
         ["first"], lambda c: c[-2:] == ["DATA", "QUIT"]),
        ("end of DATA refused", dict(replies=with_(END="552 too big\r\n")), [], 1,
         ["too big"], lambda c: c[-1] == "QUIT"),
        ("dropped in DATA", dict(replies=ok_replies, drop_in_data=True), ["--attach", "big.bin"],
         1, ["127.0.0.1", "port"], lambda c: "QUIT" not in c),
        ("silent server", dict(replies=ok_replies, silent=True), ["--timeout", "2"], 1,
         ["No answer from host 127.0.0.1 port", "within 2 seconds"], lambda c: c == []),
        ("malformed reply", dict(replies=ok_replies, greeting="hello\r\n"), [], 1,
         ["malformed reply"], lambda c: c == ["QUIT"]),
    ]
    for name, server_args, extra, want_rc, want_err, commands_ok in cases:
        server = ScriptedServer(**server_args)
        server.start()
        started = time.monotonic()
        rc, err = run_client(client, ["--host", "127.0.0.1", "--port", str(server.port),
                                      "--from", "a@x.test", "--to", "b@y.test", "--cc",
                                      "c@y.test", "--subject", "Table", "--text", "text.txt",
                                      "--timeout", "20"]
                             + extra)
        server.join(CLIENT_TIMEOUT)
        server.sock.close()
        check(rc == want_rc, f"{name}: exit code {rc}, wanted {want_rc}; stderr: {err!r}")
        for part in want_err:
            check(part in err, f"{name}: stderr {err!r} lacks {part!r}")
        if name == "dropped in DATA":
            check(str(server.port) in err and ("closed" in err or "reset" in err),
                  f"{name}: stderr {err!r} does not name the port and the cause")
        if name == "silent server":
            check(time.monotonic() - started < 60, f"{name}: the client waited too long")
        check(commands_ok(server.commands), f"{name}: commands {server.commands!r}")
        if name == "accepted":
            body = server.data.split(b"\r\n\r\n", 1)[1]
            for line in [b"..", b"..hidden", b"...two"]:
                check(b"\r\n" + line + b"\r\n" in body, f"dot-stuffing: {line!r} not on the wire")
            check(b"\r\n.plain" not in body, "dot-stuffing: a plain line was changed")


class Sink:
    def __init__(self):
        self.envelopes = []

    async def handle_DATA(self, server, session, envelope):
        self.envelopes.append((envelope.mail_from, list(envelope.rcpt_tos), envelope.content))
        return "250 Message accepted for delivery"


def start_port25(handler):
    from aiosmtpd.controller import Controller
    deadline = time.monotonic() + 120  # another test run may hold the port for a moment
    while True:
        controller = Controller(handler, hostname="127.0.0.1", port=25)
        try:
            controller.start()
            return controller
        except Exception:
            if time.monotonic() > deadline:
                raise
            time.sleep(1)


def delivery(client, work):
    payload = random.Random(11).randbytes(1 << 20)
    with open(os.path.join(work, "patch.bin"), "wb") as f:
        f.write(payload)
    text = ["Dear user,", "", "the patch f\xfcr Version 2 is attached.", ".",
            "x" * 200, "trailing space ", "a=b"]
    with open(os.path.join(work, "letter.txt"), "wb") as f:
        f.write("\r\n".join(text).encode("cp1252") + b"\r\n")
    sink = Sink()
    controller = start_port25(sink)
    try:
        subject = "Patch f\xfcr Version 2"
        base = ["--host", "127.0.0.1", "--from", "sender@x.test", "--name", "J\xf6rg M\xfcller",
                "--to", "one@y.test", "--to", "two@y.test", "--cc", "three@y.test",
                "--bcc", "four@y.test", "--timeout", "30", "--text", "letter.txt", "--attach", "patch.bin"]
        for hidden in (False, True):
            args = list(base) + ["--subject", subject] + (["--hide-receivers"] if hidden else [])
            # The programs' strings are windows-1252 bytes; Wine makes them from UTF-8.
            args = [a if WINE else os.fsdecode(a.encode("cp1252")) for a in args]
            rc, err = run_client(client, args)
            check(rc == 0, f"delivery (hidden={hidden}): exit code {rc}; stderr {err!r}")
    finally:
        controller.stop()
    check(len(sink.envelopes) == 2, f"delivery: {len(sink.envelopes)} messages arrived")
    for n, (mail_from, rcpts, raw) in enumerate(sink.envelopes):
        hidden = n == 1
        what = f"delivery {n}"
        check(mail_from == "sender@x.test", f"{what}: envelope sender {mail_from!r}")
        check(sorted(rcpts) == ["four@y.test", "one@y.test", "three@y.test", "two@y.test"],
              f"{what}: envelope recipients {rcpts!r}")
        lines = raw.split(b"\r\n")
        check(all(len(l) <= 76 for l in lines), f"{what}: a line longer than 76 characters")
        check(all(b < 128 for b in raw), f"{what}: 8-bit data in the message")
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        check(str(msg["Subject"]) == "Patch f\xfcr Version 2", f"{what}: subject {msg['Subject']!r}")
        from_field = email.message_from_bytes(raw)["From"]  # as sent, comment included
        raw_from = email.header.make_header(email.header.decode_header(
            from_field.replace("(", "( ").replace(")", " )")))
        check("sender@x.test" in str(raw_from) and "J\xf6rg M\xfcller" in str(raw_from),
              f"{what}: From {raw_from!s}")
        check(email.utils.parsedate_to_datetime(str(msg["Date"])) is not None, f"{what}: Date")
        check(str(msg["Message-ID"]).startswith("<"), f"{what}: Message-ID")
        check(msg["MIME-Version"] == "1.0", f"{what}: MIME-Version")
        check(msg["Bcc"] is None and b"four@y.test" not in raw, f"{what}: BCC shows in the header")
        check(len(msg.get_all("To")) == 1, f"{what}: more than one To header")
        if hidden:
            check(str(msg["To"]) == "undisclosed-recipients:;", f"{what}: To {msg['To']!r}")
            check(msg["Cc"] is None, f"{what}: Cc present while receivers are hidden")
        else:
            tos = [a for _, a in email.utils.getaddresses([str(msg["To"])])]
            check(tos == ["one@y.test", "two@y.test"], f"{what}: To {tos!r}")
            check(len(msg.get_all("Cc")) == 1 and "three@y.test" in str(msg["Cc"]),
                  f"{what}: Cc {msg.get_all('Cc')!r}")
        check(msg.get_content_type() == "multipart/mixed", f"{what}: {msg.get_content_type()}")
        parts = list(msg.iter_parts())
        check(len(parts) == 2, f"{what}: {len(parts)} parts")
        if len(parts) != 2:
            continue
        check(parts[0].get_content_type() == "text/plain" and
              parts[0].get_content_charset() == "windows-1252", f"{what}: text part type")
        got = parts[0].get_content().replace("\r\n", "\n")
        check(got == "\n".join(text) + "\n", f"{what}: text {got!r}")
        check(parts[1].get_filename() == "patch.bin", f"{what}: filename {parts[1].get_filename()!r}")
        check(parts[1].get_payload(decode=True) == payload, f"{what}: attachment bytes differ")
        b64 = [l for l in parts[1].get_payload().splitlines() if l]
        check(all(len(l) == 60 for l in b64[:-1]), f"{what}: base64 lines not 60 long")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--suite", choices=["table", "delivery", "all"], required=True)
    ap.add_argument("--wine", action="store_true", help="the client runs under Wine")
    ap.add_argument("client", nargs=argparse.REMAINDER)
    opts = ap.parse_args()
    global WINE
    WINE = opts.wine
    if WINE:
        os.environ["LC_ALL"] = "C.UTF-8"
    client = [a for a in opts.client if a != "--"]
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        if opts.suite in ("table", "all"):
            table(client, work)
        if opts.suite in ("delivery", "all"):
            delivery(client, work)
        os.chdir("/")
    if failures:
        print(f"{len(failures)} check(s) failed", file=sys.stderr)
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
