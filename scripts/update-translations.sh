#!/usr/bin/env bash
# Collects the interface texts of the sources into translations/keldarn_en.ts with Qt's
# lupdate, keeping the translations already made. Texts of the modules without Qt are the
# calls of i18n::Translate(context, text). With -I . lupdate reads the headers, so texts of
# tr() land in the namespaced class contexts the program looks them up in. Then fill in
# the new <translation> elements (Qt Linguist, or by hand) and commit the .ts file; the
# build makes the .qm from it.
#
#     scripts/update-translations.sh [TS_FILE]   (default translations/keldarn_en.ts)
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=/usr/lib/qt6/bin/lupdate
[ -x "$lupdate" ] || lupdate=lupdate
"$lupdate" -locations relative -no-obsolete -tr-function-alias translate+=Translate -I . \
  -source-language zh_CN -target-language en \
  app cad cli earth fileio geodesy kml ops points raster settings survey \
  -ts "${1:-translations/keldarn_en.ts}"
