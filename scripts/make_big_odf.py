#!/usr/bin/python3
"""Saves a benchmark workbook as an OpenDocument spreadsheet, by LibreOffice headless, and as
XML Spreadsheet 2003, by SheetJS (npm xlsx, bookType "xlml"): the same table in the formats
other programs write.

Usage: /usr/bin/python3 scripts/make_big_odf.py SOURCE OUT_DIR
  writes OUT_DIR/<name>.ods and OUT_DIR/<name>.xml, <name> being SOURCE's without its
  extension; a file that is there already is kept. SheetJS is found through NODE_PATH
  (default: node_modules at the top of the repository, where `npm install xlsx` puts it).
"""
import sys

if __name__ == "__main__" and sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

import os
import shutil
import subprocess
import tempfile

SHEETJS_SAVE = r"""
const XLSX = require('xlsx');
const [source, target] = process.argv.slice(1);
XLSX.writeFile(XLSX.readFile(source, {cellNF: true}), target, {bookType: 'xlml'});
"""


def libreoffice_ods(source, target):
    with tempfile.TemporaryDirectory(prefix="make-big-odf-") as work:
        subprocess.run(["libreoffice", "-env:UserInstallation=file://" + work + "/profile",
                        "--headless", "--convert-to", "ods", "--outdir", work, source],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=1800)
        shutil.move(os.path.join(work, os.path.splitext(os.path.basename(source))[0] + ".ods"),
                    target)


def sheetjs_xml(source, target):
    env = dict(os.environ)
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    env.setdefault("NODE_PATH", os.path.join(top, "node_modules"))
    subprocess.run(["node", "--max-old-space-size=4096", "-e", SHEETJS_SAVE, source,
                    target + ".part"], check=True, env=env, timeout=1800)
    os.rename(target + ".part", target)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, out = os.path.abspath(sys.argv[1]), sys.argv[2]
    stem = os.path.join(out, os.path.splitext(os.path.basename(source))[0])
    for target, make in ((stem + ".ods", libreoffice_ods), (stem + ".xml", sheetjs_xml)):
        if not os.path.exists(target):
            make(source, target)
        print(target)


if __name__ == "__main__":
    main()
