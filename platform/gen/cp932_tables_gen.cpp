// Writes the CP932 tables the platform layer converts with, asking the C
// library's converter ("CP932") about every byte, every byte pair and every
// UTF-16 unit once, at build time. The programs then convert by table and
// never load the converter module themselves (a process that converts one
// name would otherwise spend more on loading it than on its work).
//
// Usage: plat_cp932_tables_gen <output.inc>
//
// The tables hold exactly what a strict conversion through the C library
// gives: a sequence the converter rejects, or converts only irreversibly, has
// no entry. Anything the tables cannot express (a character of other than
// one UTF-16 unit, a pair that is not one character) stops the build.

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr unsigned kNone = 0xFFFF;  // no character / no form

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "plat_cp932_tables_gen: %s\n", what.c_str());
  std::exit(1);
}

// What the converter makes of a whole input.
enum class Outcome {
  kConverted,   // every byte, reversibly: out holds the result
  kIncomplete,  // a prefix it waits on (a lead byte)
  kRejected,    // invalid or irreversible
};

Outcome Run(iconv_t cd, const std::string& in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buf[64];
  char* dst = buf;
  std::size_t room = sizeof buf;
  const std::size_t r = iconv(cd, &src, &left, &dst, &room);
  if (r == static_cast<std::size_t>(-1) && errno == EINVAL) return Outcome::kIncomplete;
  if (r != 0 || left != 0) return Outcome::kRejected;
  if (iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1))
    return Outcome::kRejected;
  out.assign(buf, static_cast<std::size_t>(dst - buf));
  return Outcome::kConverted;
}

// A strict conversion: false when the converter does not convert it all.
bool Convert(iconv_t cd, const std::string& in, std::string& out) {
  return Run(cd, in, out) == Outcome::kConverted;
}

// The one UTF-16LE unit of a decoded character; kNone when it is not one
// non-surrogate unit.
unsigned OneUnit(const std::string& utf16le) {
  if (utf16le.size() != 2) return kNone;
  const unsigned u = static_cast<unsigned char>(utf16le[0]) |
                     (static_cast<unsigned>(static_cast<unsigned char>(utf16le[1])) << 8);
  return u >= 0xD800 && u <= 0xDFFF ? kNone : u;
}

void WriteArray(std::ofstream& out, const char* type, const char* name,
                const std::vector<unsigned>& values, int perLine) {
  out << "inline constexpr " << type << " " << name << "[" << values.size() << "] = {";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i % static_cast<std::size_t>(perLine) == 0) out << "\n   ";
    char item[16];
    std::snprintf(item, sizeof item, " 0x%X,", values[i]);
    out << item;
  }
  out << "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Fail("usage: plat_cp932_tables_gen <output.inc>");
  const iconv_t decode = iconv_open("UTF-16LE", "CP932");
  const iconv_t encode = iconv_open("CP932", "UTF-16LE");
  if (decode == reinterpret_cast<iconv_t>(-1) || encode == reinterpret_cast<iconv_t>(-1))
    Fail("the C library has no CP932 converter");

  // Decoding: what each first byte is, and the rows of the lead bytes.
  std::vector<unsigned> single(256, kNone);  // the unit of a one-byte character
  std::vector<unsigned> leadRow(256, 0xFF);  // the row of a lead byte
  std::vector<unsigned> pairs;               // rows of 256 units, kNone: no character
  std::string out;
  for (unsigned b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const Outcome alone = Run(decode, one, out);
    if (alone == Outcome::kConverted) {
      single[b] = OneUnit(out);
      if (single[b] == kNone) Fail("a one-byte character is not one UTF-16 unit");
      continue;
    }
    if (alone == Outcome::kRejected) continue;  // invalid alone
    leadRow[b] = static_cast<unsigned>(pairs.size() / 256);
    if (leadRow[b] >= 0xFF) Fail("too many lead bytes");
    for (unsigned t = 0; t < 256; ++t) {
      const std::string two{static_cast<char>(b), static_cast<char>(t)};
      unsigned unit = kNone;
      if (Convert(decode, two, out)) {
        unit = OneUnit(out);
        if (unit == kNone) Fail("a byte pair is not one UTF-16 unit");
      }
      pairs.push_back(unit);
    }
  }

  // Encoding: every unit's form (a byte below 0x100, a pair as lead << 8 |
  // trail), in blocks of 256 units that are only kept when one has a form.
  std::vector<unsigned> encodeBlock(256, 0);  // block number + 1, 0: none
  std::vector<unsigned> forms;
  for (unsigned high = 0; high < 256; ++high) {
    if (high >= 0xD8 && high <= 0xDF) continue;  // surrogates: no form alone
    std::vector<unsigned> block(256, kNone);
    bool any = false;
    for (unsigned low = 0; low < 256; ++low) {
      const unsigned unit = high << 8 | low;
      const std::string in{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
      if (!Convert(encode, in, out)) continue;
      unsigned form = kNone;
      if (out.size() == 1) {
        form = static_cast<unsigned char>(out[0]);
      } else if (out.size() == 2 && leadRow[static_cast<unsigned char>(out[0])] != 0xFF) {
        form = static_cast<unsigned>(static_cast<unsigned char>(out[0])) << 8 |
               static_cast<unsigned char>(out[1]);
      }
      if (form == kNone || form == 0xFFFF) Fail("a unit's form is not one CP932 character");
      block[low] = form;
      any = true;
    }
    if (!any) continue;
    encodeBlock[high] = static_cast<unsigned>(forms.size() / 256 + 1);
    forms.insert(forms.end(), block.begin(), block.end());
  }
  iconv_close(decode);
  iconv_close(encode);

  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << "// Generated at build time by plat_cp932_tables_gen from the C library's\n"
          "// CP932 converter. 0xFFFF: no character or no form.\n";
  WriteArray(file, "char16_t", "kSingleUnit", single, 12);
  WriteArray(file, "unsigned char", "kLeadRow", leadRow, 16);
  WriteArray(file, "char16_t", "kPairUnit", pairs, 12);
  WriteArray(file, "unsigned char", "kEncodeBlock", encodeBlock, 16);
  WriteArray(file, "unsigned short", "kForm", forms, 12);
  file.close();
  if (!file) Fail(std::string("cannot write ") + argv[1]);
  return 0;
}
