#!/usr/bin/env python3
"""Runs the mail driver against SMTP servers on 127.0.0.1 and checks what arrives.

  smtp_run.py --suite table|delivery|all [--wine] -- CLIENT-COMMAND...

"table": a scripted server of our own plays back replies (refusals, malformed and
endless replies, a dropped connection, silence, trickles) on a free port and records
what the client sent. "delivery": a real
aiosmtpd server on port 25 (the client's default; binding it needs root) receives two
mails with a 1 MiB attachment, which are parsed with the email package. A server that
cannot start, or a client that never reaches it, fails the run. Every wait is bounded.
"""
import argparse
import datetime
import email
import email.header
import email.policy
import email.utils
import errno
import fcntl
import os
import random
import socket
import subprocess
import sys
import tempfile
import threading
import time

CLIENT_TIMEOUT = 180
# Test runs of other build trees on this machine want port 25 too.
PORT25_LOCK = "/tmp/quiltor-smtp-port25.lock"
PORT25_LOCK_WAIT = 240
PORT25_BIND_WAIT = 30
WINE = False
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what, file=sys.stderr)
    return ok


class ScriptedServer(threading.Thread):
    """One connection: replies from a table; records command lines and DATA bytes.

    greeting may be a function (connection, event set when the client is done) that sends
    the greeting its own way and ends the session; drop_in_data closes the connection
    after 4 KiB of message data; silent never says a word; silent_in_data stops reading
    after its 354 reply and keeps the connection open; slow_data reads the message data at
    a trickle.
    """

    def __init__(self, replies, greeting="220 scripted ready\r\n", drop_in_data=False,
                 silent=False, silent_in_data=False, slow_data=False):
        super().__init__(daemon=True)
        self.replies = replies
        self.greeting = greeting
        self.drop_in_data = drop_in_data
        self.silent = silent
        self.silent_in_data = silent_in_data
        self.slow_data = slow_data
        self.connected = False
        self.commands = []
        self.data = b""
        self.client_done = threading.Event()
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(1)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.rcpt = 0

    def reply(self, conn, key):
        r = self.replies.get(key, "250 ok\r\n")
        if isinstance(r, list):
            r = r[min(self.rcpt, len(r) - 1)]
        conn.sendall(r.encode("latin-1"))

    def run(self):
        deadline = time.monotonic() + CLIENT_TIMEOUT
        while True:
            try:
                conn, _ = self.sock.accept()
                break
            except socket.timeout:
                if self.client_done.is_set() or time.monotonic() > deadline:
                    return
            except OSError:
                return
        self.connected = True
        conn.settimeout(CLIENT_TIMEOUT)
        with conn:
            if self.silent:
                self.client_done.wait(CLIENT_TIMEOUT)
                return
            buf = b""
            in_data = False
            try:
                if callable(self.greeting):
                    self.greeting(conn, self.client_done)
                    return
                conn.sendall(self.greeting.encode("latin-1"))
                while True:
                    trickle = in_data and self.slow_data
                    if trickle and self.client_done.wait(0.01):
                        return
                    chunk = conn.recv(4096 if trickle else 65536)
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
                                if self.silent_in_data:
                                    self.client_done.wait(CLIENT_TIMEOUT)
                                    return
                        elif verb == "QUIT":
                            self.reply(conn, "QUIT")
                            return
                        else:
                            self.reply(conn, verb)
            except OSError:
                return


def endless_greeting(conn, done):
    """Continuation lines for ever."""
    lines = b"220-more to come\r\n" * 100
    while not done.is_set():
        conn.sendall(lines)


def dripped_greeting(conn, done):
    """A long greeting, one byte at a time."""
    for b in b"220 " + b"x" * 2000 + b"\r\n":
        if done.wait(0.05):
            return
        conn.sendall(bytes([b]))


def run_client(client, args, env=None):
    try:
        p = subprocess.run(client + args, capture_output=True, timeout=CLIENT_TIMEOUT,
                           env=env)
    except subprocess.TimeoutExpired:
        return None, "", "client did not end in time"
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def write_random(path, size, seed):
    data = random.Random(seed).randbytes(size)
    with open(path, "wb") as f:
        f.write(data)
    return data


TEXT_LINES = [b".", b".hidden", b"..two", b"plain", b""]


def check_trace(name, out, commands):
    """The client's trace of a good session: its commands and its status texts."""
    sent = [l[2:] for l in out.splitlines() if l.startswith("0 ")]
    check(sent == commands, f"{name}: traced commands {sent!r}, server saw {commands!r}")
    status = [l[2:] for l in out.splitlines() if l.startswith("3 ")]
    check(status[:2] == ["Connecting", "0%"] and
          status[-3:] == ["100%", "Mail sent, waiting for reply.", "Done."],
          f"{name}: status texts {status[:3]!r} ... {status[-3:]!r}")
    percents = [int(s[:-1]) for s in status if s.endswith("%")]
    check(percents == sorted(set(percents)) and percents[-1] == 100,
          f"{name}: percents {percents!r}")


def table(client, work):
    with open(os.path.join(work, "text.txt"), "wb") as f:
        f.write(b"\r\n".join(TEXT_LINES) + b"\r\n")
    write_random(os.path.join(work, "big.bin"), 1 << 20, 3)
    # More than the socket buffers of both ends hold, so a client that stops only in a
    # blocking send would never see its time limit.
    write_random(os.path.join(work, "huge.bin"), 16 << 20, 5)
    ok_replies = {"HELO": "250-first\r\n250 second\r\n", "MAIL": "250 sender ok\r\n",
                  "RCPT": "250 rcpt ok\r\n", "DATA": "354 go ahead\r\n",
                  "END": "250 queued\r\n", "QUIT": "221 bye\r\n"}

    def with_(**kw):
        r = dict(ok_replies)
        r.update(kw)
        return r

    envelope = ["MAIL FROM:<a@x.test>", "RCPT TO:<b@y.test>", "RCPT TO:<c@y.test>"]
    smtp = "SMTP server 127.0.0.1:{port}"
    # name, server arguments, extra client arguments, exit code, stderr parts, command check
    # (None: the client must not even connect)
    cases = [
        ("accepted", dict(replies=ok_replies, greeting="220 ready\n"), ["--trace"], 0, [],
         lambda c: c[1:] == envelope + ["DATA", "QUIT"] and c[0].startswith("HELO ")),
        ("greeting refused", dict(replies=ok_replies, greeting="554 go away\r\n"), [], 1,
         [smtp + " refused the connection: 554 go away"], lambda c: c == ["QUIT"]),
        ("sender refused", dict(replies=with_(MAIL="553 sender rejected\r\n")), [], 1,
         [smtp + " refused MAIL FROM: 553 sender rejected"],
         lambda c: c[1:] == envelope[:1] + ["QUIT"]),
        ("one recipient refused",
         dict(replies=with_(RCPT=["250 ok\r\n", "550 no such user\r\n"])), [], 0,
         ["The mail was sent, but " + smtp + " refused these recipients: "
          "c@y.test (550 no such user)"],
         lambda c: c[1:] == envelope + ["DATA", "QUIT"]),
        ("all recipients refused", dict(replies=with_(RCPT="550 no such user\r\n")), [], 1,
         [smtp + " refused every recipient: b@y.test (550 no such user), "
          "c@y.test (550 no such user)"],
         lambda c: c[1:] == envelope + ["QUIT"]),
        ("DATA refused", dict(replies=with_(DATA="451-first\r\n451 try later\r\n")), [], 1,
         [smtp + " refused DATA: 451 first"], lambda c: c[1:] == envelope + ["DATA", "QUIT"]),
        ("end of DATA refused", dict(replies=with_(END="552 too big\r\n")), [], 1,
         [smtp + " refused the mail: 552 too big"],
         lambda c: c[1:] == envelope + ["DATA", "QUIT"]),
        ("codes differ", dict(replies=with_(HELO="250-first\r\n550 no\r\n")), [], 1,
         [smtp + " sent a malformed reply to HELO: its lines carry the codes 250 and 550"],
         lambda c: len(c) == 2 and c[0].startswith("HELO ") and c[1] == "QUIT"),
        ("no such reply class", dict(replies=with_(MAIL="150 go on\r\n")), [], 1,
         [smtp + ' sent a malformed reply to MAIL FROM: "150 go on"'],
         lambda c: c[1:] == envelope[:1] + ["QUIT"]),
        ("control characters",
         dict(replies=with_(MAIL="554 go\x1b[2Jaway\x07\x00!\xff\r\n")), [], 1,
         [smtp + " refused MAIL FROM: 554 go\\x1B[2Jaway\\x07\\x00!\\xFF"],
         lambda c: c[1:] == envelope[:1] + ["QUIT"]),
        ("endless continuation", dict(replies=ok_replies, greeting=endless_greeting), [], 1,
         [smtp + " sent more than 1000 lines in its greeting"], lambda c: c == []),
        ("dripped greeting", dict(replies=ok_replies, greeting=dripped_greeting),
         ["--reply-timeout", "1"], 1,
         [smtp + " did not complete its greeting within 1 second"], lambda c: c == []),
        ("trickled mail", dict(replies=ok_replies, slow_data=True),
         ["--mail-timeout", "3", "--attach", "huge.bin"], 1,
         [smtp + " did not take the mail within 3 seconds (sending the mail text)"],
         lambda c: c[1:] == envelope + ["DATA"]),
        ("list in an address", dict(replies=ok_replies), ["--to", "d@y.test,victim@z.test"], 1,
         ['The To address "d@y.test,victim@z.test" contains ","'], None),
        ("dropped in DATA", dict(replies=ok_replies, drop_in_data=True), ["--attach", "big.bin"],
         1, ["host 127.0.0.1 port {port}", "(sending the mail text)"],
         lambda c: c[1:] == envelope + ["DATA"]),
        ("silent server", dict(replies=ok_replies, silent=True), ["--timeout", "2"], 1,
         ["No answer from host 127.0.0.1 port {port} within 2 seconds (waiting for the "
          "greeting)"], lambda c: c == []),
        ("silent in DATA", dict(replies=ok_replies, silent_in_data=True),
         ["--timeout", "2", "--attach", "huge.bin"], 1,
         ["host 127.0.0.1 port {port}", "within 2 seconds (sending the mail text)"],
         lambda c: c[1:] == envelope + ["DATA"]),
        ("malformed reply", dict(replies=ok_replies, greeting="hello\r\n"), [], 1,
         [smtp + ' sent a malformed greeting: "hello"'], lambda c: c == ["QUIT"]),
    ]
    for name, server_args, extra, want_rc, want_err, commands_ok in cases:
        server = ScriptedServer(**server_args)
        server.start()
        started = time.monotonic()
        rc, out, err = run_client(client, ["--host", "127.0.0.1", "--port", str(server.port),
                                           "--from", "a@x.test", "--to", "b@y.test", "--cc",
                                           "c@y.test", "--subject", "Table", "--text",
                                           "text.txt", "--timeout", "20"] + extra)
        elapsed = time.monotonic() - started
        server.client_done.set()
        server.join(CLIENT_TIMEOUT)
        server.sock.close()
        if commands_ok is None:
            check(not server.connected, f"{name}: the client connected")
        elif not check(server.connected, f"{name}: the client never reached the scripted "
                                         f"server (exit code {rc}, stderr {err!r})"):
            continue
        check(rc == want_rc, f"{name}: exit code {rc}, wanted {want_rc}; stderr: {err!r}")
        for part in want_err:
            part = part.format(port=server.port)
            check(part in err, f"{name}: stderr {err!r} lacks {part!r}")
        check(all(" " <= c <= "~" for c in err.replace("\r\n", "\n").replace("\n", "")),
              f"{name}: stderr {err!r} holds control characters")
        if commands_ok is None:
            continue
        if name == "dropped in DATA":
            check("closed" in err or "reset" in err, f"{name}: stderr {err!r} names no cause")
        if name.startswith("silent"):
            check(elapsed < 60, f"{name}: the client waited {elapsed:.0f} s")
        check(commands_ok(server.commands), f"{name}: commands {server.commands!r}")
        if name == "accepted":
            check_trace(name, out, server.commands)
            body = server.data.split(b"\r\n\r\n", 1)[1]
            for line in [b"..", b"..hidden", b"...two"]:
                check(b"\r\n" + line + b"\r\n" in body, f"dot-stuffing: {line!r} not on the wire")
            check(b"\r\nplain\r\n" in body, "dot-stuffing: a plain line was changed")


class Sink:
    def __init__(self):
        self.envelopes = []

    async def handle_DATA(self, server, session, envelope):
        self.envelopes.append((envelope.mail_from, list(envelope.rcpt_tos), envelope.content))
        return "250 Message accepted for delivery"


def lock_port25():
    """Holds the machine-wide lock of port 25 for the rest of the process, or fails."""
    try:
        lock = os.open(PORT25_LOCK, os.O_RDONLY | os.O_CREAT, 0o666)
    except OSError as e:
        check(False, f"delivery: cannot open the lock file {PORT25_LOCK}: {e}")
        return None
    deadline = time.monotonic() + PORT25_LOCK_WAIT
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return lock
        except OSError as e:
            if e.errno not in (errno.EAGAIN, errno.EACCES) or time.monotonic() > deadline:
                check(False, f"delivery: port 25 stayed locked by another test run ({e})")
                return None
            time.sleep(0.5)


def start_port25(handler):
    """An aiosmtpd server on 127.0.0.1:25, or None after a failure saying why."""
    try:
        from aiosmtpd.controller import Controller
    except ImportError as e:
        check(False, f"delivery: aiosmtpd is not installed ({e}); scripts/setup-deps installs "
                     "python3-aiosmtpd")
        return None
    deadline = time.monotonic() + PORT25_BIND_WAIT
    while True:
        controller = Controller(handler, hostname="127.0.0.1", port=25)
        try:
            controller.start()
            return controller
        except Exception as e:  # the cause goes into the failure message
            busy = isinstance(e, OSError) and e.errno == errno.EADDRINUSE
            if busy and time.monotonic() < deadline:
                time.sleep(1)  # a test run without the lock may still hold the port
                continue
            why = ("binding port 25 needs root" if os.geteuid() != 0 else
                   f"another server held port 25 for {PORT25_BIND_WAIT} s" if busy else "")
            check(False, f"delivery: aiosmtpd could not listen on 127.0.0.1:25: {e!r}"
                         + (f" ({why})" if why else ""))
            return None


def delivery(client, work):
    payload = write_random(os.path.join(work, "patch.bin"), 1 << 20, 11)
    text = ["Dear user,", "", "the patch f\xfcr Version 2 is attached.", ".", ".hidden",
            "x" * 200, "trailing space ", "a=b", "tab\tin the middle"]
    with open(os.path.join(work, "letter.txt"), "wb") as f:
        f.write("\r\n".join(text).encode("cp1252") + b"\r\n")
    subject = "Patch f\xfcr Version 2"
    base = ["--host", "127.0.0.1", "--from", "sender@x.test", "--name", "J\xf6rg M\xfcller",
            "--to", "one@y.test", "--to", "two@y.test", "--cc", "three@y.test",
            "--bcc", "four@y.test", "--timeout", "30", "--text", "letter.txt",
            "--attach", "patch.bin", "--subject", subject]
    # One mail from a zone without daylight saving (Windows answers "unknown" there), one
    # from UTC; the second one hides its receivers.
    runs = [("Asia/Kolkata", "+0530", False), ("UTC", "GMT", True)]

    lock = lock_port25()
    if lock is None:
        return
    sink = Sink()
    controller = start_port25(sink)
    if not controller:
        return
    sent_at = []
    try:
        for tz, _, hidden in runs:
            args = base + (["--hide-receivers"] if hidden else [])
            # The programs' strings are windows-1252 bytes; Wine makes them from UTF-8.
            args = [a if WINE else os.fsdecode(a.encode("cp1252")) for a in args]
            sent_at.append(datetime.datetime.now(datetime.timezone.utc))
            rc, _, err = run_client(client, args, env=dict(os.environ, TZ=tz))
            check(rc == 0, f"delivery ({tz}): exit code {rc}; stderr {err!r}")
    finally:
        controller.stop()
        os.close(lock)
    if not check(len(sink.envelopes) == len(runs),
                 f"delivery: {len(sink.envelopes)} of {len(runs)} messages arrived"):
        return
    for (tz, zone, hidden), when, (mail_from, rcpts, raw) in zip(runs, sent_at, sink.envelopes):
        what = f"delivery ({tz})"
        check(mail_from == "sender@x.test", f"{what}: envelope sender {mail_from!r}")
        check(sorted(rcpts) == ["four@y.test", "one@y.test", "three@y.test", "two@y.test"],
              f"{what}: envelope recipients {rcpts!r}")
        lines = raw.split(b"\r\n")
        check(all(len(l) <= 76 for l in lines), f"{what}: a line longer than 76 characters")
        check(all(b < 128 for b in raw), f"{what}: 8-bit data in the message")
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        names = [k for k in msg.keys()]
        want = ["From", "Message-ID", "Date", "Subject", "To"] + ([] if hidden else ["CC"]) + \
               ["MIME-Version", "Content-Type", "Content-Transfer-Encoding"]
        check(names == want, f"{what}: header fields {names!r}")
        check(str(msg["Subject"]) == subject, f"{what}: subject {msg['Subject']!r}")
        as_sent = email.message_from_bytes(raw)  # header texts as they are on the wire
        from_field = as_sent["From"]
        raw_from = email.header.make_header(email.header.decode_header(
            from_field.replace("(", "( ").replace(")", " )")))
        check("sender@x.test" in str(raw_from) and "J\xf6rg M\xfcller" in str(raw_from),
              f"{what}: From {raw_from!s}")
        date = as_sent["Date"]
        check(date.endswith(" " + zone), f"{what}: Date {date!r} does not end in {zone}")
        stamp = email.utils.parsedate_to_datetime(date)
        check(abs((stamp - when).total_seconds()) < 600, f"{what}: Date {date!r} is not now")
        check(str(msg["Message-ID"]).startswith("<") and str(msg["Message-ID"]).endswith(">"),
              f"{what}: Message-ID {msg['Message-ID']!r}")
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
        if not check(len(parts) == 2, f"{what}: {len(parts)} parts"):
            continue
        check(parts[0].get_content_type() == "text/plain" and
              parts[0].get_content_charset() == "windows-1252", f"{what}: text part type")
        got = parts[0].get_content().replace("\r\n", "\n")
        check(got == "\n".join(text) + "\n", f"{what}: text {got!r}")
        check(parts[1].get_content_type() == "application/octet-stream",
              f"{what}: attachment type {parts[1].get_content_type()}")
        check(parts[1].get_content_disposition() == "attachment" and
              parts[1].get_filename() == "patch.bin", f"{what}: filename {parts[1].get_filename()!r}")
        check(parts[1].get_payload(decode=True) == payload, f"{what}: attachment bytes differ")
        b64 = [l for l in parts[1].get_payload().splitlines() if l]
        check(all(len(l) == 60 for l in b64[:-1]), f"{what}: base64 lines not 60 long")
    ids = {email.message_from_bytes(raw)["Message-ID"] for _, _, raw in sink.envelopes}
    check(len(ids) == len(runs), "delivery: two mails share a Message-ID")


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
