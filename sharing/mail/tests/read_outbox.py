#!/usr/bin/env python3
"""Reads an outbox message with Python's e-mail parser (policy.default) and
prints what it found, one "key<TAB>value" line each; each attachment's decoded bytes are written to
OUTDIR/<n> (n from 1). Usage: read_outbox.py MESSAGE OUTDIR"""
import email
import email.policy
import os
import sys

# The lines carry the message's own texts: UTF-8 whatever the locale says.
sys.stdout.reconfigure(encoding="utf-8")

with open(sys.argv[1], "rb") as f:
    message = email.message_from_binary_file(f, policy=email.policy.default)
defects = [f"{type(d).__name__}" for part in message.walk() for d in part.defects]
attachments = []
for n, part in enumerate(message.iter_attachments(), 1):
    data = part.get_payload(decode=True)
    with open(os.path.join(sys.argv[2], str(n)), "wb") as out:
        out.write(data)
    attachments.append({"filename": part.get_filename(), "type": part.get_content_type(),
                        "encoding": part.get("Content-Transfer-Encoding"), "size": len(data)})
body = message.get_body(preferencelist=("plain",))
print("defects\t%d" % len(defects))
print("from\t%s" % message["From"])
print("to\t%s" % message["To"])
print("subject\t%s" % message["Subject"])
print("date\t%s" % ("yes" if message["Date"] is not None and message["Date"].datetime else "no"))
print("message-id\t%s" % ("yes" if message["Message-ID"] else "no"))
print("body\t%s\t%s" % (body.get_content_charset() if body else "-", (body.get_content() if body else "").rstrip("\n")))
for n, a in enumerate(attachments, 1):
    print("attachment\t%d\t%s\t%s\t%s" % (n, a["filename"], a["type"], a["encoding"]))
