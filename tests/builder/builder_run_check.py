#!/usr/bin/env python3
"""Runs a test of the patch builder's windows with what it needs around it.

  builder_run_check.py NATIVE_ENGINE_RUN SAMPLES_DIR -- LAUNCHER... TEST.exe [ARGS...]

Lays out the sample trees in a scratch folder and makes the expected patches there with
the native engine driver (QUILTOR_FIXTURES names the folder), starts a real SMTP server
(aiosmtpd) on a free loopback port (QUILTOR_SMTP_PORT; a recipient whose address begins
with "refused" is refused with 550) and names a loopback port nobody listens on
(QUILTOR_CLOSED_PORT). After the test, every expectation file it left in the folder
"mail-expect" of the fixtures is checked against the mails the server received: one line
"key<TAB>value" each (subject, envelope-from, rcpt (repeated), to, cc, from, text-file,
attachment-file); exactly one mail with that subject must have arrived. The run fails
when the test fails, the server cannot start or a mail differs.
"""
import email
import email.policy
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("builder_run_check: FAIL: " + what, file=sys.stderr)


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Handler:
    def __init__(self):
        self.mails = []
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("refused"):
            return "550 no such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.mails.append((envelope.mail_from, list(envelope.rcpt_tos), envelope.original_content))
        return "250 Message accepted"


def read_expectation(path):
    exp = {"rcpt": []}
    with open(path, encoding="latin-1") as f:
        for line in f.read().splitlines():
            if not line:
                continue
            key, _, value = line.partition("\t")
            if key == "rcpt":
                exp["rcpt"].append(value)
            else:
                exp[key] = value
    return exp


def unix_path(windows_path, fixtures):
    p = windows_path.replace("\\", "/")
    if len(p) > 1 and p[1] == ":":
        p = p[2:]
    return p if os.path.isabs(p) else os.path.join(fixtures, p)


def check_mail(name, exp, mails, fixtures):
    subject = exp.get("subject", "")
    found = []
    for mail_from, rcpts, content in mails:
        msg = email.message_from_bytes(content, policy=email.policy.compat32)
        if str(msg.get("Subject", "")) == subject:
            found.append((mail_from, rcpts, msg))
    check(len(found) == 1, f"{name}: {len(found)} mails with the subject {subject!r} arrived")
    if len(found) != 1:
        return
    mail_from, rcpts, msg = found[0]
    check(mail_from == exp.get("envelope-from"), f"{name}: envelope sender {mail_from!r}")
    check(rcpts == exp["rcpt"], f"{name}: envelope recipients {rcpts!r}, expected {exp['rcpt']!r}")
    for key, header in (("to", "To"), ("cc", "Cc"), ("from", "From")):
        if key in exp:
            got = " ".join(str(msg.get(header, "")).split())
            check(got == exp[key], f"{name}: {header} {got!r}, expected {exp[key]!r}")
    if "cc" not in exp:
        check(msg.get("Cc") is None, f"{name}: an unexpected Cc {msg.get('Cc')!r}")
    check(msg.get("Bcc") is None, f"{name}: a blind copy shows in the headers: {msg.get('Bcc')!r}")
    parts = [p for p in msg.walk() if not p.is_multipart()]
    texts = [p for p in parts if p.get_content_type() == "text/plain" and p.get_filename() is None]
    files = [p for p in parts if p.get_filename() is not None]
    if "text-file" in exp:
        with open(unix_path(exp["text-file"], fixtures), "rb") as f:
            want = f.read().replace(b"\r\n", b"\n").rstrip(b"\n")
        got = texts[0].get_payload(decode=True).replace(b"\r\n", b"\n").rstrip(b"\n") if texts else None
        check(got == want, f"{name}: covering text {got!r}, expected {want!r}")
    if "attachment-file" in exp:
        with open(unix_path(exp["attachment-file"], fixtures), "rb") as f:
            want = f.read()
        check(len(files) == 1, f"{name}: {len(files)} attachments")
        if files:
            got = files[0].get_payload(decode=True)
            check(got == want, f"{name}: the attachment ({len(got or b'')} bytes) differs from the patch "
                               f"({len(want)} bytes)")
            wanted_name = os.path.basename(unix_path(exp["attachment-file"], fixtures))
            check(files[0].get_filename() == wanted_name,
                  f"{name}: attachment named {files[0].get_filename()!r}, expected {wanted_name!r}")


def main():
    args = sys.argv[1:]
    if len(args) < 4 or args[2] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    engine_run, samples, command = args[0], args[1], args[3:]
    if not os.access(engine_run, os.X_OK):
        print(f"builder_run_check: the native engine driver {engine_run} is missing (build the native tree first)",
              file=sys.stderr)
        return 1
    try:
        from aiosmtpd.controller import Controller
    except ImportError as e:
        print(f"builder_run_check: aiosmtpd is not installed ({e}); install python3-aiosmtpd", file=sys.stderr)
        return 1
    work = tempfile.mkdtemp(prefix="builder-run-")
    try:
        for tree in ("tree-v1", "tree-v2"):
            shutil.copytree(os.path.join(samples, tree), os.path.join(work, tree))
        os.makedirs(os.path.join(work, "expected"))
        os.makedirs(os.path.join(work, "mail-expect"))
        os.makedirs(os.path.join(work, "pair"))
        shutil.copy(os.path.join(work, "tree-v1", "README.txt"), os.path.join(work, "pair", "1-old.txt"))
        shutil.copy(os.path.join(work, "tree-v2", "README.txt"), os.path.join(work, "pair", "2-older.txt"))
        runs = [
            ("expected/file.utp", "tree-v1/src/tally.c", "tree-v2/src/tally.c"),
            ("expected/tree.utp", "tree-v1", "tree-v2"),
            ("expected/multi.utp", "tree-v1/README.txt", "tree-v2/README.txt", "tree-v2/docs/changes.txt"),
            ("expected/pair.utp", "pair/1-old.txt", "pair/2-older.txt", "tree-v2/docs/changes.txt"),
            ("expected/three.utp", "tree-v1/src/tally.c", "tree-v1/README.txt", "tree-v2/README.txt",
             "tree-v2/docs/changes.txt"),
            ("--backup", "OldFiles", "expected/backup.utp", "tree-v1/src/tally.c", "tree-v2/src/tally.c"),
        ]
        for run in runs:
            r = subprocess.run([engine_run, *run], cwd=work, capture_output=True, timeout=120)
            if r.returncode != 0:
                print(f"builder_run_check: engine_run {' '.join(run)}: {r.stderr.decode(errors='replace')}",
                      file=sys.stderr)
                return 1
        handler = Handler()
        port = free_port()
        controller = Controller(handler, hostname="127.0.0.1", port=port)
        try:
            controller.start()
        except Exception as e:  # noqa: BLE001 - any failure to listen ends the run
            print(f"builder_run_check: aiosmtpd could not listen on 127.0.0.1:{port}: {e!r}", file=sys.stderr)
            return 1
        env = dict(os.environ, QUILTOR_FIXTURES=work, QUILTOR_SMTP_PORT=str(port),
                   QUILTOR_CLOSED_PORT=str(free_port()))
        try:
            rc = subprocess.run(command, env=env).returncode
        finally:
            controller.stop()
        expect_dir = os.path.join(work, "mail-expect")
        for name in sorted(os.listdir(expect_dir)):
            check_mail(name, read_expectation(os.path.join(expect_dir, name)), handler.mails, work)
        if rc != 0:
            print(f"builder_run_check: the test exited with {rc}", file=sys.stderr)
            return rc
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
