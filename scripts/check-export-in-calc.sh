#!/bin/sh
# Opens the CSV export's files of texts a spreadsheet would run as formulas or read as numbers
# ("=1+2", "00123", "+7 999 123", ...) in LibreOffice Calc, headless, as a Russian user opens
# them (";" between fields, UTF-8, Russian language, special numbers detected, formulas
# evaluated), and checks that every cell shows the stored text. Needs Debian's
# libreoffice-calc-nogui and python3; takes a minute or two, so it is not part of the suite.
#
#   scripts/check-export-in-calc.sh [build-folder]     (default build)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
command -v soffice >/dev/null || { echo "soffice not found: apt-get install --no-install-recommends libreoffice-calc-nogui" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/veltor-calc.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/files" "$work/fods"

VELTOR_CALC_DIR="$work/files" "$here/tests/isolate.sh" "$build/tests/test_export" textsArriveAsTexts >"$work/test.log" 2>&1 \
    || { cat "$work/test.log"; exit 1; }

# Filter options: ";" (59), '"' (34), UTF-8 (76), from line 1, standard columns, Russian (1049),
# quoted fields not forced to text, special numbers (dates, times, percent) detected, ...,
# formulas evaluated.
HOME="$work/home" soffice -env:UserInstallation="file://$work/profile" --headless \
    --infilter="CSV:59,34,76,1,,1049,false,true,false,false,false,-1,true" \
    --convert-to fods --outdir "$work/fods" "$work"/files/*.csv >"$work/soffice.log" 2>&1 \
    || { cat "$work/soffice.log"; exit 1; }

python3 - "$work" <<'PY'
import glob, json, os, sys, xml.etree.ElementTree as ET
T = '{urn:oasis:names:tc:opendocument:xmlns:table:1.0}'
O = '{urn:oasis:names:tc:opendocument:xmlns:office:1.0}'
X = '{urn:oasis:names:tc:opendocument:xmlns:text:1.0}'

def paragraph(p):
    out = [p.text or '']
    for e in p:
        if e.tag == X + 'tab':
            out.append('\t' * int(e.get(X + 'c', '1')))
        elif e.tag == X + 's':
            out.append(' ' * int(e.get(X + 'c', '1')))
        elif e.tag == X + 'line-break':
            out.append('\n')
        else:
            out.append(paragraph(e))
        out.append(e.tail or '')
    return ''.join(out)

def second_row(path):
    rows = list(ET.parse(path).getroot().iter(T + 'table-row'))
    cells = []
    for c in rows[1]:
        for _ in range(min(int(c.get(T + 'number-columns-repeated', '1')), 4)):
            cells.append((c.get(O + 'value-type'), '\n'.join(paragraph(p) for p in c.findall(X + 'p'))))
    return cells[:2]

def lines(text):
    return text.replace('\r\n', '\n').replace('\r', '\n')

work = sys.argv[1]
faults = checked = 0
for expected_file in sorted(glob.glob(work + '/files/*.json')):
    tag = os.path.basename(expected_file)[:-5]
    expected = json.load(open(expected_file, encoding='utf-8'))
    got = second_row(f'{work}/fods/{tag}-lines.fods') + second_row(f'{work}/fods/{tag}-incomes.fods')
    if len(got) != len(expected):
        faults += 1
        print(f'{tag}: {len(got)} cells read, {len(expected)} written')
    for want, (kind, shown) in zip(expected, got):
        checked += 1
        # A cell keeps a line break as LF, however the file wrote it.
        if kind != 'string' or lines(shown) != lines(want):
            faults += 1
            print(f'{tag}: want {want!r}, Calc shows {kind} {shown!r}')
print(f'{checked} cells checked in LibreOffice Calc, {faults} wrong')
sys.exit(1 if faults else 0)
PY
