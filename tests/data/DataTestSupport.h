#pragma once
// Builders for data file texts in the layout the reader expects.
#include <array>
#include <string>
#include <vector>

namespace zyn::test {

using Cells = std::array<std::string, 20>;

// A valid row: the date, then prices and levels around base, trends UP/DOWN/FLAT.
inline Cells MakeCells(const std::string& date, double base = 100.0) {
    auto num = [](double v) {
        std::string s = std::to_string(v);
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
        return s;
    };
    return Cells{date,          num(base),      num(base + 2),  num(base - 3),  num(base + 1),
                 "UP",          "DOWN",         "FLAT",         "up",           "Down",
                 "UP",          num(base + 5),  num(base - 6),  num(base),      num(base + 1.5),
                 num(base + 3), num(base + 4.5), num(base - 1.5), num(base - 3), num(base - 4.5)};
}

inline bool IsTextCell(int i) { return i == 0 || (i >= 5 && i <= 10); }

inline std::string CellLine(const std::string& kind, const std::string& value, const std::string& eol = "\r\n") {
    return "     <x:" + kind + ">" + value + "</x:" + kind + ">" + eol;
}

inline std::string RowText(const Cells& cells, int rowNumber = 1, const std::string& eol = "\r\n") {
    std::string s = "    <x:Crn>" + eol;
    s += "     <x:Row>" + std::to_string(rowNumber) + "</x:Row>" + eol;
    s += "     <x:ColFirst>0</x:ColFirst>" + eol;
    s += "     <x:ColLast>19</x:ColLast>" + eol;
    for (int i = 0; i < 20; ++i) s += CellLine(IsTextCell(i) ? "Text" : "Number", cells[static_cast<std::size_t>(i)], eol);
    s += "    </x:Crn>" + eol;
    return s;
}

inline std::string Header(const std::string& eol = "\r\n") {
    return "MIME-Version: 1.0" + eol + "Content-Type: multipart/related; boundary=\"--b\"" + eol + eol + "----b" + eol +
           "Content-Type: text/html" + eol + eol + "<html><head><xml>" + eol + " <x:Workbook>" + eol;
}

inline std::string BlockStart(const std::string& eol = "\r\n") {
    return "  <x:SupBook>" + eol + "   <x:Path>C:\\Kurse</x:Path>" + eol + "   <x:SheetName>Tabelle1</x:SheetName>" + eol +
           "   <x:Xct>" + eol + "    <x:Count>40</x:Count>" + eol + "    <x:SheetIndex>0</x:SheetIndex>" + eol;
}

inline std::string BlockEnd(const std::string& eol = "\r\n") {
    return "   </x:Xct>" + eol + "  </x:SupBook>" + eol + " </x:Workbook>" + eol + "</xml></head>" + eol +
           "<body><table><tr><td>2001-01-01</td></tr></table></body></html>" + eol;
}

inline std::string Document(const std::vector<Cells>& rows, const std::string& eol = "\r\n") {
    std::string s = Header(eol) + BlockStart(eol);
    int n = 1;
    for (const Cells& c : rows) s += RowText(c, n++, eol);
    return s + BlockEnd(eol);
}

}  // namespace zyn::test
