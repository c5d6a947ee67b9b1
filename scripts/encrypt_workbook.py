#!/usr/bin/python3
"""Encrypts an OOXML or binary OOXML workbook as Excel does by default: Agile encryption,
SHA-512, AES-256, 100,000 spins of the password hash, with the spreadsheet programs' default
password "VelvetSweatshop" or another. The writer is scripts/fixtures/make_encrypted_packages.py's
(python3-cryptography's ciphers); python3-msoffcrypto-tool decrypts the result, which must give
the workbook back byte for byte.

Usage: /usr/bin/python3 scripts/encrypt_workbook.py INPUT OUTPUT [PASSWORD]
"""
import os
import sys

if __name__ == "__main__" and (len(sys.argv) < 3 or sys.argv[1] in ("-h", "--help")):
    print(__doc__.strip())
    sys.exit(0 if sys.argv[1:2] in (["-h"], ["--help"]) else 64)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures"))
import make_encrypted_packages as writer  # noqa: E402


def main():
    source, target = sys.argv[1], sys.argv[2]
    password = sys.argv[3] if len(sys.argv) > 3 else writer.DEFAULT_PASSWORD
    with open(source, "rb") as f:
        plain = f.read()
    info, stream = writer.agile(plain, password, "sha512", 256)
    data = writer.checked(writer.compound_file(info, stream), password, plain)
    with open(target, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
