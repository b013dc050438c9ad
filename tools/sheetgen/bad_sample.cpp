#include "bad_sample.h"

#include <fstream>
#include <stdexcept>

namespace sheetgen {

namespace {

std::string LineNumber(std::size_t index) { return std::to_string(index + 1); }

bool IsRecord(const std::string& line, char letter) { return !line.empty() && line[0] == letter; }

// Index of the record line with the given ordinal (0-based) of a file, or the end.
std::size_t RecordIndex(const TextLines& lines, char letter, int ordinal) {
    for (std::size_t k = 1; k < lines.size(); ++k)
        if (IsRecord(lines[k], letter) && ordinal-- == 0) return k;
    return lines.size();
}

std::size_t InsertBeforeRecord(TextLines& lines, char letter, int ordinal, const std::string& text) {
    std::size_t at = RecordIndex(lines, letter, ordinal);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), text);
    return at;
}

std::size_t Append(TextLines& lines, const std::string& text) {
    lines.push_back(text);
    return lines.size() - 1;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = line.find(',', start);
        out.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

std::string Join(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t k = 0; k < fields.size(); ++k) out += (k ? "," : "") + fields[k];
    return out;
}

void SpoilRecords(BadSheet& bad) {
    SheetFiles& f = bad.files;
    auto fault = [&](const std::string& text) { bad.faults.push_back(text); };
    auto message = [&](const std::string& text) { bad.messages.push_back(text); };

    // Listed order of the writers: SI_TYO, TYOME, GAIKU, ZYOUTI, TETUDOU, EKI, MIZU,
    // TATEMONO, ROAD, SANKAKU.
    {
        TextLines& atr = f.File("GYOUSEI/TYOME.ATR");
        std::size_t at = Append(atr, "A1102,9999,3,13101,001001,桜木町一丁目");
        fault("GYOUSEI/TYOME.ATR line " + LineNumber(at) + ": attributes of polygon 9999, which TYOME.PGN lacks");
        message("error:PGNIDが見つからない:TYOME:" + LineNumber(at));
    }
    {
        TextLines& pgn = f.File("GAIKU/GAIKU.PGN");
        std::size_t record = RecordIndex(pgn, 'A', 2);
        if (record + 1 >= pgn.size()) throw std::runtime_error("the bad sheet needs three blocks");
        int ordinal = 0;
        for (std::size_t k = 1; k < record; ++k) ordinal += IsRecord(pgn[k], 'A');
        std::size_t at = record + 1;
        pgn[at] = pgn[at][0] == '-' ? "-99999" : "99999";
        fault("GAIKU/GAIKU.PGN line " + LineNumber(at) + ": block " + std::to_string(ordinal + 1) +
              " refers to arc 99999, which GAIKU.ARC lacks");
        message("error:ARCが見つからない:{SHEET}GAIKU/GAIKU:" + LineNumber(at));
        message("error:ARCIDが見つからない:GAIKU:" + std::to_string(ordinal + 2));
    }
    {
        TextLines& pgn = f.File("OTHERS/ZYOUTI.PGN");
        std::size_t at = InsertBeforeRecord(pgn, 'A', 1, "");
        fault("OTHERS/ZYOUTI.PGN line " + LineNumber(at) + ": an empty line between two polygons");
        message("error:PGN:{SHEET}OTHERS/ZYOUTI:" + LineNumber(at));
        TextLines& atr = f.File("OTHERS/ZYOUTI.ATR");
        std::size_t bad_code = Append(atr, "3101,7,1,若葉公園");
        fault("OTHERS/ZYOUTI.ATR line " + LineNumber(bad_code) + ": a record whose code lost its letter");
        message("error:ATR:ZYOUTI:" + LineNumber(bad_code));
    }
    {
        TextLines& atr = f.File("OTHERS/TETUDOU.ATR");
        std::size_t missing = Append(atr, "L3201,999,1,桜木線");
        std::size_t bad_code = Append(atr, "3201,5,1,桜木線");
        fault("OTHERS/TETUDOU.ATR line " + LineNumber(missing) + ": railway arc 999, which OTHERS.ARC lacks");
        fault("OTHERS/TETUDOU.ATR line " + LineNumber(bad_code) + ": a record whose code lost its letter");
        message("error:ARCIDが見つからない:TETUDOU:" + LineNumber(missing));
        message("error:ATR:TETUDOU:" + LineNumber(bad_code));
    }
    {
        TextLines& pnt = f.File("OTHERS/EKI.PNT");
        std::size_t at = InsertBeforeRecord(pnt, 'P', 1, "Q3201,8,750.00,1000.00");
        fault("OTHERS/EKI.PNT line " + LineNumber(at) + ": a point whose code does not start with \"P\"");
        message("error:PNT:{SHEET}OTHERS/EKI:" + LineNumber(at));
    }
    {
        TextLines& arc = f.File("MIZU/MIZU.ARC");
        std::size_t at = InsertBeforeRecord(arc, 'L', 1, "XL4101,1,9,2");
        fault("MIZU/MIZU.ARC line " + LineNumber(at) + ": an arc whose code does not start with \"L\"");
        message("error:ARC:{SHEET}MIZU/MIZU:" + LineNumber(at));
    }
    {
        // Duplicated ids are accepted silently: lookups take the first record.
        TextLines& arc = f.File("TATEMONO/TATEMONO.ARC");
        std::size_t dup_arc = Append(arc, "L5101,1,1,2");
        Append(arc, "0.00,0.00");
        Append(arc, "1500.00,2000.00");
        TextLines& atr = f.File("TATEMONO/TATEMONO.ATR");
        std::size_t first = RecordIndex(atr, 'A', 0);
        std::size_t dup_atr = Append(atr, atr[first]);
        fault("TATEMONO/TATEMONO.ARC line " + LineNumber(dup_arc) +
              ": a second arc with id 1 (a diagonal of the frame); no message, lookups find the first arc 1");
        fault("TATEMONO/TATEMONO.ATR line " + LineNumber(dup_atr) + ": a copy of the record on line " +
              LineNumber(first) + "; no message, the building gets two records with the same shape");
    }
    {
        TextLines& atr = f.File("ROAD/ROAD.ATR");
        std::size_t at = Append(atr, "L6101,-9999,0");
        fault("ROAD/ROAD.ATR line " + LineNumber(at) + ": road arc -9999, which ROADNTWK.ARC lacks");
        message("error:ARCIDが見つからない:ROAD:" + LineNumber(at));
    }
    {
        TextLines& atr = f.File("KIJUNTEN/SANKAKU.ATR");
        std::size_t bad_code = Append(atr, "7101,1,3,53394611,TR45339461101,桜木");
        std::size_t missing = Append(atr, "P7101,999,3,53394611,TR45339461101,桜木");
        fault("KIJUNTEN/SANKAKU.ATR line " + LineNumber(bad_code) + ": a record whose code lost its letter");
        fault("KIJUNTEN/SANKAKU.ATR line " + LineNumber(missing) + ": control point 999, which SANKAKU.PNT lacks");
        message("error:PNT:SANKAKU:" + LineNumber(bad_code));
        message("error:PNTIDが見つからない:SANKAKU:" + LineNumber(missing));
    }
}

void SpoilPointLine(BadSheet& bad) {
    TextLines& arc = bad.files.File("TATEMONO/TATEMONO.ARC");
    std::size_t record = RecordIndex(arc, 'L', 1);
    if (record + 1 >= arc.size()) throw std::runtime_error("the bad sheet needs two building arcs");
    std::size_t at = record + 1;
    arc[at] = arc[at].substr(0, arc[at].find(','));
    bad.faults.push_back("TATEMONO/TATEMONO.ARC line " + LineNumber(at) + ": a point line cut after its X value");
    bad.aborts = "a conversion error naming {SHEET}TATEMONO/TATEMONO.ARC (the file read) and line " + LineNumber(at) +
                 "; the sheet is abandoned there and the run goes on with the next sheet";
}

void SpoilReal(BadSheet& bad) {
    TextLines& pgn = bad.files.File("GAIKU/GAIKU.PGN");
    std::size_t at = RecordIndex(pgn, 'A', 0);
    if (at >= pgn.size()) throw std::runtime_error("the bad sheet needs a block");
    std::vector<std::string> fields = Fields(pgn[at]);
    fields[3] = "12O.50";  // a letter O typed for a zero
    pgn[at] = Join(fields);
    bad.faults.push_back("GAIKU/GAIKU.PGN line " + LineNumber(at) + ": representative X \"12O.50\" is not a number");
    bad.aborts = "a conversion error naming {SHEET}GAIKU/GAIKU.PGN (the file read) and line " + LineNumber(at) +
                 "; the sheet is abandoned there and the run goes on with the next sheet";
}

}  // namespace

BadSheet SpoilSheet(SheetFiles files, int index, const std::string& municipality_code) {
    BadSheet bad{std::move(files), municipality_code, {}, {}, {}};
    if (index == 0) SpoilRecords(bad);
    if (index == 1) SpoilPointLine(bad);
    if (index == 2) SpoilReal(bad);
    return bad;
}

void WriteBadSample(const std::vector<BadSheet>& sheets, const std::filesystem::path& out) {
    std::string readme =
        "# The faulty sample\n"
        "\n"
        "Sheets made by `sheetgen --bad` (see `data/sample/README.md` for the command): generated like the clean\n"
        "sample, then spoilt on purpose. Every fault below is listed with the messages a converter shows for it, in\n"
        "the order it shows them when the sheet's description is converted on its own (the writers run in the order\n"
        "the description lists the `.ATR` files: SI_TYO, TYOME, GAIKU, ZYOUTI, TETUDOU, EKI, MIZU, TATEMONO, ROAD,\n"
        "SANKAKU). `{SHEET}` stands for the sheet's folder as the converter derives it from the description's path,\n"
        "ending with a separator, for example `data/sample-bad/13101/09LD172/`. Messages are shown in CP932; this file\n"
        "is UTF-8. Line numbers count every line of the file, the \"FH\" header being line 1.\n";
    for (const BadSheet& bad : sheets) {
        std::filesystem::path folder = out / bad.municipality_code / bad.files.sheet_name;
        WriteSheet(bad.files, folder);
        readme += "\n## " + bad.municipality_code + "/" + bad.files.sheet_name + "/" + bad.files.sheet_name + ".TXT\n\n";
        if (bad.faults.empty()) {
            readme += "No faults: this sheet converts without a message.\n";
            continue;
        }
        readme += "Faults:\n\n";
        for (const std::string& f : bad.faults) readme += "- " + f + "\n";
        readme += "\nExpected messages, exactly and in this order:\n\n";
        if (bad.messages.empty()) readme += "- none\n";
        for (const std::string& m : bad.messages) readme += "- `" + m + "`\n";
        if (!bad.aborts.empty()) readme += "\nThen " + bad.aborts + ".\n";
    }
    std::ofstream file(out / "README.md", std::ios::binary | std::ios::trunc);
    file << readme;
}

}  // namespace sheetgen
