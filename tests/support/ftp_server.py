#!/usr/bin/python3
"""A real FTP server (pyftpdlib) on loopback with the terminal's flash layout.

The FTP root holds tffs0/ and ram0/; a session starts in /tffs0, the
terminal's login folder. Prints "PORT <n>" once listening, then one line per
event: "LOGIN <user>", "CMD <line>" (PASS masked).
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def say(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--password", default="skywardly")
    p.add_argument("--delay-226", type=float, default=0.0)  # seconds every 226 is held back
    p.add_argument("--rate", type=int, default=0)  # data connection bytes per second, 0: no limit
    p.add_argument("--idle-timeout", type=float, default=300.0)
    a = p.parse_args()
    # Only problems on stderr: nobody drains it during a test.
    logging.basicConfig(level=logging.WARNING)

    for folder in ("tffs0/bin", "ram0"):
        os.makedirs(os.path.join(a.root, folder), exist_ok=True)

    authorizer = DummyAuthorizer()
    authorizer.add_user("qorauser", a.password, a.root, perm="elradfmwMT")

    class Handler(FTPHandler):
        # The tests want the refusal at once, not after the anti-guessing pause.
        auth_failed_timeout = 0.05
        # pyftpdlib's own idle timer never fires once a command has reset
        # it, so the sessions keep their own.
        timeout = 0
        _idle_call = None

        def _arm_idle_timer(self):
            if self._idle_call is not None and not self._idle_call.cancelled:
                self._idle_call.cancel()
            self._idle_call = self.call_later(a.idle_timeout, self.handle_timeout)

        def on_connect(self):
            self._arm_idle_timer()

        def on_login(self, username):
            self.fs.cwd = "/tffs0"
            say("LOGIN " + username)

        def pre_process_command(self, line, cmd, arg):
            say("CMD " + ("PASS ****" if cmd == "PASS" else line))
            self._arm_idle_timer()
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, *args, **kwargs):
            if a.delay_226 > 0 and resp.startswith("226"):
                # Cancelled by pyftpdlib if the session closes first.
                self.call_later(a.delay_226, FTPHandler.respond, self, resp)
                return
            FTPHandler.respond(self, resp, *args, **kwargs)

    if a.rate > 0:
        class Dtp(ThrottledDTPHandler):
            read_limit = a.rate
            write_limit = a.rate
        Handler.dtp_handler = Dtp

    Handler.authorizer = authorizer
    Handler.banner = "QORA test FTP server ready."
    server = FTPServer(("127.0.0.1", 0), Handler)
    server.max_cons = 16
    say("PORT %d" % server.address[1])
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
