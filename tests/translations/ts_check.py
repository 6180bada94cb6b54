#!/usr/bin/env python3
"""The English translation is complete and current.

Every message of translations/keldarn_en.ts has a finished, non-empty translation with the
same placeholders (%1..%9), the same number of line breaks and the same leading digit (the
export's field items are read by it) as its Chinese source, and names no other vendor's
product; and
lupdate, run over the sources as scripts/update-translations.sh runs it, finds no text the
file lacks (a text added to the code without its English fails here).
"""

import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
TS = ROOT / "translations" / "keldarn_en.ts"
PLACEHOLDER = re.compile(r"%[1-9]")
# The Chinese texts of the original program name the products it drove; this program has
# its own terrain viewer and drawing window, and its English says so.
VENDOR_PRODUCT = re.compile(r"Google|AutoCAD|Autodesk", re.IGNORECASE)


def problems_of(ts_path):
    problems = []
    count = 0
    for context in ET.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            count += 1
            source = message.findtext("source") or ""
            translation = message.find("translation")
            text = "".join(translation.itertext()) if translation is not None else ""
            kind = translation.get("type") if translation is not None else "missing"
            where = f"{name}: {source!r}"
            if kind in ("unfinished", "missing") or not text.strip():
                problems.append(f"{where} has no finished translation")
            elif sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
                problems.append(f"{where} → {text!r}: the placeholders differ")
            elif source[:1].isdigit() and text[:1] != source[:1]:
                problems.append(f"{where} → {text!r}: the leading digit (an export column) differs")
            elif source.count("\n") != text.count("\n"):
                problems.append(f"{where} → {text!r}: the line breaks differ")
            elif VENDOR_PRODUCT.search(text):
                problems.append(f"{where} → {text!r}: names another vendor's product; the English "
                                "describes this program (the terrain viewer, the drawing window)")
    return count, problems


def main():
    count, problems = problems_of(TS)
    print(f"{TS.name}: {count} messages")
    with tempfile.TemporaryDirectory() as scratch:
        current = Path(scratch) / "current.ts"
        shutil.copy(TS, current)
        result = subprocess.run(["bash", str(ROOT / "scripts/update-translations.sh"), str(current)],
                                cwd=ROOT, capture_output=True, text=True)
        if result.returncode != 0:
            problems.append("lupdate failed: " + result.stdout + result.stderr)
        else:
            fresh, stale = problems_of(current)
            problems += [p + " (new in the sources: run scripts/update-translations.sh)"
                         for p in stale if p not in problems]
            if fresh != count:
                problems.append(f"the sources hold {fresh} texts, the file {count}: "
                                "run scripts/update-translations.sh")
    for problem in problems:
        print("FAILED: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
