#!/usr/bin/env python3
"""An independent COMTRADE (IEEE C37.111-1999) reader, standard library only.

Reads NAME.cfg and the .dat beside it (ASCII or BINARY) the way the standard describes them,
without any of Relvane's code, and prints what it found, one item a line:

    station <station_name> <rec_dev_id> <rev_year>
    counts <total> <analog> <digital>
    analog <n> <ch_id> <unit> <a> <b> <primary> <secondary> <PS>
    digital <n> <ch_id> <normal state>
    frequency <lf>
    rate <samp> <endsamp>
    start <date> <time>
    trigger <date> <time>
    format <ASCII|BINARY>
    sample <n> <timestamp> <scaled analog values...> <digital states...>

Exit status 0, or 1 with a message on standard error for a file that breaks the standard.
"""
import struct
import sys


def fail(message):
    sys.stderr.write("comtrade_reader: " + message + "\n")
    sys.exit(1)


def read_cfg(path):
    with open(path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError:
        fail("the configuration is not ASCII")
    if "\r\n" not in text:
        fail("the configuration's lines do not end in CR LF")
    lines = text.split("\r\n")
    pos = 0

    def line():
        nonlocal pos
        if pos >= len(lines):
            fail("the configuration ends early")
        pos += 1
        return lines[pos - 1].split(",")

    cfg = {}
    first = line()
    if len(first) != 3:
        fail("line 1 needs station_name,rec_dev_id,rev_year")
    cfg["station"] = first
    counts = line()
    total = int(counts[0])
    if not counts[1].endswith("A") or not counts[2].endswith("D"):
        fail("line 2 needs TT,##A,##D")
    n_analog, n_digital = int(counts[1][:-1]), int(counts[2][:-1])
    if total != n_analog + n_digital:
        fail("TT is not ##A + ##D")
    cfg["counts"] = (total, n_analog, n_digital)
    cfg["analog"] = []
    for i in range(n_analog):
        f = line()
        if len(f) != 13:
            fail("analog channel %d has %d fields, not 13" % (i + 1, len(f)))
        if int(f[0]) != i + 1:
            fail("analog channel numbers out of order")
        if f[12] not in ("P", "p", "S", "s"):
            fail("analog channel %d: PS is not P or S" % (i + 1))
        cfg["analog"].append({"n": int(f[0]), "id": f[1], "unit": f[4], "a": float(f[5]), "b": float(f[6]),
                              "min": int(f[8]), "max": int(f[9]), "primary": float(f[10]),
                              "secondary": float(f[11]), "ps": f[12]})
    cfg["digital"] = []
    for i in range(n_digital):
        f = line()
        if len(f) != 5:
            fail("digital channel %d has %d fields, not 5" % (i + 1, len(f)))
        cfg["digital"].append({"n": int(f[0]), "id": f[1], "normal": int(f[4])})
    cfg["frequency"] = float(line()[0])
    nrates = int(line()[0])
    cfg["rates"] = []
    for _ in range(max(nrates, 1)):
        f = line()
        cfg["rates"].append((float(f[0]), int(f[1])))
    cfg["start"] = line()
    cfg["trigger"] = line()
    for stamp in (cfg["start"], cfg["trigger"]):
        day, month, year = (int(x) for x in stamp[0].split("/"))
        if not (1 <= day <= 31 and 1 <= month <= 12 and year >= 1900):
            fail("a date is not dd/mm/yyyy")
    cfg["format"] = line()[0]
    if cfg["format"] not in ("ASCII", "BINARY"):
        fail("file type is neither ASCII nor BINARY")
    cfg["timemult"] = float(line()[0])
    return cfg


def read_dat(path, cfg):
    total, n_analog, n_digital = cfg["counts"]
    samples = []
    if cfg["format"] == "ASCII":
        with open(path, "r", encoding="ascii", newline="") as f:
            for row in f.read().split("\r\n"):
                if not row:
                    continue
                fields = row.split(",")
                if len(fields) != 2 + n_analog + n_digital:
                    fail("a data line has %d fields" % len(fields))
                samples.append([int(x) for x in fields])
    else:
        words = (n_digital + 15) // 16
        layout = "<II" + "h" * n_analog + "H" * words
        size = struct.calcsize(layout)
        with open(path, "rb") as f:
            data = f.read()
        if len(data) % size != 0:
            fail("the binary data are not whole records of %d bytes" % size)
        for offset in range(0, len(data), size):
            values = struct.unpack_from(layout, data, offset)
            row = list(values[:2 + n_analog])
            for d in range(n_digital):
                row.append((values[2 + n_analog + d // 16] >> (d % 16)) & 1)
            samples.append(row)
    end = cfg["rates"][-1][1]
    if len(samples) != end:
        fail("the data hold %d samples, the configuration says %d" % (len(samples), end))
    return samples


def main():
    if len(sys.argv) != 2 or not sys.argv[1].endswith(".cfg"):
        fail("usage: comtrade_reader.py NAME.cfg")
    cfg = read_cfg(sys.argv[1])
    samples = read_dat(sys.argv[1][:-4] + ".dat", cfg)
    out = sys.stdout
    out.write("station %s\n" % " ".join(cfg["station"]))
    out.write("counts %d %d %d\n" % cfg["counts"])
    for ch in cfg["analog"]:
        out.write("analog %d %s %s %r %r %r %r %s\n" % (ch["n"], ch["id"].replace(" ", "_"), ch["unit"] or "-",
                                                       ch["a"], ch["b"], ch["primary"], ch["secondary"], ch["ps"]))
    for ch in cfg["digital"]:
        out.write("digital %d %s %d\n" % (ch["n"], ch["id"].replace(" ", "_"), ch["normal"]))
    out.write("frequency %r\n" % cfg["frequency"])
    for samp, end in cfg["rates"]:
        out.write("rate %r %d\n" % (samp, end))
    out.write("start %s %s\n" % tuple(cfg["start"]))
    out.write("trigger %s %s\n" % tuple(cfg["trigger"]))
    out.write("format %s\n" % cfg["format"])
    n_analog = cfg["counts"][1]
    for row in samples:
        scaled = [cfg["analog"][i]["a"] * row[2 + i] + cfg["analog"][i]["b"] for i in range(n_analog)]
        out.write("sample %d %d %s%s\n" % (row[0], row[1], " ".join(repr(v) for v in scaled),
                                          "".join(" %d" % d for d in row[2 + n_analog:])))


if __name__ == "__main__":
    main()
