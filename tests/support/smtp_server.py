# SPDX-License-Identifier: GPL-3.0-or-later
"""An SMTP server on loopback for the e-mail tests.

Prints "READY <port>" once it listens. Every message it accepts is written to OUT/N.eml with
OUT/N.json beside it (envelope, the AUTH mechanism used, whether TLS was on).
"""
import argparse
import asyncio
import base64
import email
import email.policy
import hmac
import json
import logging
import os
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

parser = argparse.ArgumentParser()
parser.add_argument("--out", required=True)
parser.add_argument("--cert")
parser.add_argument("--key")
parser.add_argument("--implicit-tls", action="store_true")
parser.add_argument("--user")
parser.add_argument("--password")
parser.add_argument("--cram", action="store_true", help="also offer CRAM-MD5")
parser.add_argument("--reject", action="append", default=[], help="recipient to refuse")
args = parser.parse_args()
# Refused handshakes and logins are what some tests are about; they need no traceback.
logging.disable(logging.CRITICAL)
warnings.filterwarnings("ignore")

counter = 0


def record_mechanism(session, mechanism):
    session.corvale_mechanism = mechanism


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and args.user is not None
          and auth_data.login.decode() == args.user and auth_data.password.decode() == args.password)
    if ok:
        record_mechanism(session, mechanism)
    return AuthResult(success=ok, handled=False)


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in args.reject:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        global counter
        counter += 1
        base = os.path.join(args.out, str(counter))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        message = email.message_from_bytes(envelope.original_content or envelope.content,
                                           policy=email.policy.default)
        body = message.get_body(("plain",))
        attachments = [{"name": part.get_filename(),
                        "data": base64.b64encode(part.get_content() if isinstance(part.get_content(), bytes)
                                                 else part.get_content().encode()).decode()}
                       for part in message.iter_attachments()]
        with open(base + ".json", "w") as f:
            json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                       "mechanism": getattr(session, "corvale_mechanism", ""),
                       "tls": session.ssl is not None,
                       "subject": str(message["Subject"]), "from_header": str(message["From"]),
                       "to_header": str(message["To"]),
                       "body": body.get_content() if body is not None else "",
                       "attachments": attachments}, f)
        return "250 2.0.0 Ok: queued as %d" % counter


if args.cram:
    async def auth_CRAM__MD5(self, server, arguments):
        challenge = b"<1896.697170952@corvale.test>"
        response = await server.challenge_auth(challenge)
        if not isinstance(response, bytes) or b" " not in response:
            return AuthResult(success=False, handled=False)
        user, digest = response.rsplit(b" ", 1)
        expected = hmac.new((args.password or "").encode(), challenge, "md5").hexdigest().encode()
        ok = user.decode() == args.user and hmac.compare_digest(digest, expected)
        if ok:
            record_mechanism(server.session, "CRAM-MD5")
        return AuthResult(success=ok, handled=False)
    Handler.auth_CRAM__MD5 = auth_CRAM__MD5


def make_context():
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)
    return context


async def main():
    context = make_context() if args.cert else None
    handler = Handler()
    loop = asyncio.get_running_loop()

    def factory():
        return SMTP(handler,
                    hostname="corvale.test",
                    tls_context=None if args.implicit_tls else context,
                    authenticator=authenticator,
                    auth_require_tls=False,
                    ident="Corvale test SMTP")

    server = await loop.create_server(factory, host="127.0.0.1", port=0,
                                      ssl=context if args.implicit_tls else None)
    port = server.sockets[0].getsockname()[1]
    print("READY %d" % port, flush=True)
    # Ends when the test closes our standard input.
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


asyncio.run(main())
