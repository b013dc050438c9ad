#!/usr/bin/env bash
# Regenerates the seed inputs of the fuzz targets (tests/fuzz/<target>/seeds/) from the
# bundled sample sheets (data/sample, data/sample-bad) and a few hand-made cases. Each seed
# is laid out as its target's entry function reads it (tests/fuzz/*_fuzz.cpp). Inputs that
# once made a target fail live in tests/fuzz/<target>/regressions/ and are never touched.
# Needs python3.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz=tests/fuzz
sheet=data/sample/13102/09LD184
bad=data/sample-bad/13101/09LD172

fresh() { rm -rf "$fuzz/$1/seeds"; mkdir -p "$fuzz/$1/seeds"; echo "$fuzz/$1/seeds"; }

# Bytes: a prefix given as printf escapes, then (optionally) a file cut to 3000 bytes.
seed() {  # seed OUT PREFIX [FILE]
  { printf "$2"; [ $# -ge 3 ] && head -c 3000 "$3"; } >"$1"
}

# data_readers: reader byte (0 ARC, 1 PGN, 2 PNT, 3 TIE, 4 ATR, 5 city table), letter, file.
d=$(fresh data_readers)
seed "$d/arc_mizu" '\000L' "$sheet/MIZU/MIZU.ARC"
seed "$d/arc_bad_mizu" '\000L' "$bad/MIZU/MIZU.ARC"
{ printf '\001A'; cat "$sheet/MIZU/MIZU.ARC"; printf '\f'; cat "$sheet/MIZU/MIZU.PGN"; } >"$d/pgn_mizu"
{ printf '\001A'; head -c 3000 "$bad/GAIKU/GAIKU.ARC"; printf '\f'; cat "$bad/GAIKU/GAIKU.PGN"; } >"$d/pgn_bad_gaiku"
seed "$d/pnt_sankaku" '\002P' "$sheet/KIJUNTEN/SANKAKU.PNT"
seed "$d/pnt_bad_eki" '\002P' "$bad/OTHERS/EKI.PNT"
seed "$d/tie_road" '\003R' "$sheet/ROAD/ROADNTWK.TIE"
seed "$d/atr_tyome" '\004A' "$sheet/GYOUSEI/TYOME.ATR"
seed "$d/atr_bad_zyouti" '\004A' "$bad/OTHERS/ZYOUTI.ATR"
seed "$d/atr_road" '\004R' "$sheet/ROAD/ROAD.ATR"
seed "$d/city_table" '\005,' data/city.csv

# sheet_description: the description's bytes.
d=$(fresh sheet_description)
seed "$d/sample_09LD184" '' "$sheet/09LD184.TXT"
seed "$d/bad_09LD172" '' "$bad/09LD172.TXT"
seed "$d/four_corners" '' <(printf 'a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n9,-1.5,2e3,x,4,5,6,7,8,1\r\ng\r\nh\r\nS.TXT\r\nS\\A\\B.ARC\r\n\x1a')

# ini: section, key and value lengths and bytes, an integer, a second key, then the text.
d=$(fresh ini)
seed "$d/map_settings" '\004ABCD\003KEY\005 v=1 \001\002\003\004\001N' <(printf '[MapServer]\r\nMapName=gridora\r\nSize=800 600\r\n; note\r\n[Run]\r\nCount = 3\r\n')
seed "$d/cp932_names" '\002\x83\x65\x83\x58\002\x81\x5c\x81\x5c\000\377\377\377\377\000' <(printf '[\x83\x65\x83\x58\x83\x67]\nkey=\x95\x5c\n[x]\r\n=\r\n')

# archive: mode byte, then the archive. The sample archive, its first bytes, and small
# archives with stored members at each header level.
d=$(fresh archive)
{ printf '\000'; cat data/sample/13102.LZH; } >"$d/sample_13102"
{ printf '\340'; head -c 2000 data/sample/13102.LZH; } >"$d/sample_13102_cut"
python3 - "$d" <<'PY'
import struct, sys, zlib
out = sys.argv[1]

def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc

def level0(name, data):
    body = b"-lh0-" + struct.pack("<IIIBB", len(data), len(data), 0x50210000, 0x20, 0)
    body += bytes([len(name)]) + name + struct.pack("<H", crc16(data))
    return bytes([len(body), sum(body) & 0xFF]) + body + data

def level1(folder, name, data):
    # Base header, then extension headers (type, data, size of the next), then the data.
    ext = b""
    if folder:
        ext = b"\x02" + folder.replace(b"/", b"\xff") + b"\xff" + b"\x00\x00"
    body = b"-lh0-" + struct.pack("<IIIBB", len(ext) + len(data), len(data), 0x50210000, 0x20, 1)
    body += bytes([len(name)]) + name + struct.pack("<H", crc16(data)) + b"U" + struct.pack("<H", len(ext))
    return bytes([len(body), sum(body) & 0xFF]) + body + ext + data

text = b"\x8b\xf3\x8a\xd4\r\n1\r\n2\r\n3\r\n09LD172\r\n2500\r\n9,0,0,10,10,,,,,0\r\n"
with open(out + "/stored_level0", "wb") as f:
    f.write(b"\x00" + level0(b"13101\\09LD172\\09LD172.TXT", text) + level0(b"A.ARC", b"L0,1,1,0\r\n") + b"\x00")
with open(out + "/stored_level0_unsafe", "wb") as f:
    f.write(b"\x00" + level0(b"..\\up.TXT", text) + b"\x00")
with open(out + "/stored_level1", "wb") as f:
    f.write(b"\x40" + level1(b"13101/09LD172", b"09LD172.TXT", text) + b"\x00")
PY

# extract_command: the command line.
d=$(fresh extract_command)
printf 'e -x1 data/sample/13101.LZH out/ 13101/09LD172/*.* -p2 -y1' >"$d/extract_sheet"
printf 'x "in/x y.LZH" "out/a b/" *.TXT' >"$d/quoted_paths"
printf 'e in/x y.LZH out/ lead\\ *.*' >"$d/blank_paths"
printf 'E -x0 -p2 "" "/" "\x83\x65\x83\x58X/*.*"' >"$d/empty_archive"

# cp932: the longest cut (byte, modulo 40), then the text.
d=$(fresh cp932)
seed "$d/sheet_names" '\007' <(head -c 400 "$sheet/09LD184.TXT")
printf '\010\x83\x65\x83\x58\x83\x67X\x81' >"$d/lone_lead_byte"
printf '\005\xe3\x80\x9c\xe2\x88\x92\xed\x95\x9c\xf0\x9f\x98\x80\xc0\xaf\xed\xa0\x80' >"$d/utf8_unmappable"

# engine: a program (see engine_fuzz.cpp): direction, scale, four sizes as (count, step)
# pairs, then operations. A square with a diagonal and a hole, assembled, then more
# lines and an overlay after a restart.
d=$(fresh engine)
python3 - "$d" <<'PY'
import struct, sys
out = sys.argv[1]
def grid_line(x1, y1, x2, y2, lin=1, key=7):
    return bytes([0, 1]) + struct.pack("<h", lin) + bytes([x1, y1, x2, y2]) + struct.pack("<h", key)
def header(scale):
    return bytes([0, scale]) + bytes([4, 1, 4, 1, 4, 1, 4, 1])
square = [(0, 0, 8, 0), (8, 0, 8, 8), (8, 8, 0, 8), (0, 8, 0, 0), (0, 0, 8, 8), (2, 5, 3, 5), (3, 5, 3, 6), (3, 6, 2, 5)]
prog = header(3) + b"".join(grid_line(*s, lin=i) for i, s in enumerate(square)) + bytes([7, 0])
with open(out + "/square_assembled", "wb") as f: f.write(prog)
overlap = [(0, 0, 10, 0), (2, 0, 12, 0), (5, 0, 5, 5), (5, 5, 0, 0), (12, 0, 5, 5)]
prog = header(0) + b"".join(grid_line(*s) for s in overlap) + bytes([7, 1]) + bytes([9, 3, 1, 3, 1, 3, 1, 3, 1])
prog += bytes([12, 2, 2, 2, 2, 4]) + b"".join(bytes([1]) + struct.pack("<h", k) + bytes([x, y]) + struct.pack("<h", 9)
                                          for k, (x, y) in enumerate([(1, 1), (6, 1), (6, 6), (1, 1)]))
prog += bytes([5]) + b"".join(bytes([1, 0, 0, x, y]) + struct.pack("<h", 3) for x, y in [(0, 0), (8, 0), (8, 8), (0, 8), (0, 0)])
prog += bytes([1]) + bytes([7, 0, 13, 5, 0, 0, 1, 0, 4, 0, 4, 0, 4, 0, 0, 0, 0])
with open(out + "/overlap_overlay", "wb") as f: f.write(prog)
PY
ls "$fuzz"/*/seeds | head -100 >/dev/null
echo "seeds written under $fuzz/*/seeds"
