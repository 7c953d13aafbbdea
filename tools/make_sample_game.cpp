// make-sample-game: writes a complete sample game folder with everything the
// patch reads, and compares two folders file by file.
//
//   make-sample-game FOLDER [--archive-mib N | --archive-kib N] [--database-kib N]
//   make-sample-game --compare A B
//
// The folder is deterministic: the same options always give the same bytes.
// Its contents are chosen so that an install followed by an uninstall gives
// every file back byte for byte:
// - the archives are noise that can never form an artwork name (no digits,
//   no "." and no "_" in it), with the names planted between zero bytes;
// - the two countries' records, script lines and competition texts are each
//   written the way the other country's would be after the exchange.
// All text files end their lines with CR LF.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr int kCountries = 206;

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "make-sample-game: " << message << "\n";
  std::exit(1);
}

void Usage() {
  std::cerr << "usage: make-sample-game FOLDER [--archive-mib N | --archive-kib N] [--database-kib N]\n"
               "       make-sample-game --compare A B\n"
               "Writes a sample game folder (FOLDER must be new or empty); defaults: archives of\n"
               "256 KiB, country databases of about 8 KiB.  Archives of at least 4 KiB hold the\n"
               "artwork names; a database is never smaller than one club and its players (about\n"
               "1.2 KiB, with --database-kib 0 or 1).  --compare exits 0 when the two folders\n"
               "hold the same files with the same bytes, 1 otherwise.\n";
  std::exit(2);
}

// splitmix64: small, fast and the same everywhere.
std::uint64_t NextRandom(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Writes `bytes` to `path`, creating or truncating it; exits on failure.
void WriteWholeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + path.string());
}

void AddLine(std::string& text, const std::string& line) {
  text += line;
  text += "\r\n";
}

// ---------------------------------------------------------------------------
// Artwork archives

// Names planted in each archive: the patterns themselves, patterns inside
// longer names, and near misses that must stay as they are.  Each is fenced
// by zero bytes, so the noise around it never completes or extends a name.
const std::vector<std::string> kArt01Names = {
    "country_41", "country_34", "country41", "country34", "g41", "g34",
    "flags/country_410.tga", "img41.tga", "ccountry41x", "country41g41", "gg34",
    "country_4", "countr", "Country41", "country_x41", "g4"};
const std::vector<std::string> kArt02Names = {
    "sanmarino.", "niederlande.", "sanmarino.tga", "flags/niederlande.tpi",
    "Niederlande.", "niederlande_", "sanmarino", "SanMarino.", "ssanmarino."};
const std::vector<std::string> kArt03Names = {
    "\\41.tpi", "\\34.tpi", "gfx\\flags\\41.tpi", "flags\\34.tpi",
    "/41.tpi", "\\41.tp_", "\\\\34.tpi", "\\4"};

// Noise bytes: anything but the bytes an artwork name needs and noise must
// not supply (digits, "." and "_").  Trigger letters and backslashes do occur,
// so the patch meets false starts at a natural rate.
unsigned char NoiseByte(unsigned char b) {
  if (b >= '0' && b <= '9') return static_cast<unsigned char>('A' + (b - '0'));
  if (b == '.') return 'K';
  if (b == '_') return 'L';
  return b;
}

// Writes an archive of exactly `size` bytes: noise, with each name planted
// four times at evenly spread places and `lastName` at the very end.
void WriteArchive(const fs::path& path, std::uint64_t size, std::uint64_t seed,
                  const std::vector<std::string>& names, const std::string& lastName) {
  struct Plant {
    std::uint64_t offset;
    std::string bytes;
  };
  std::vector<Plant> plants;
  if (size >= 4096) {
    const std::size_t sites = names.size() * 4;
    for (std::size_t i = 0; i < sites; ++i) {
      plants.push_back({(i + 1) * size / (sites + 2), std::string(1, '\0') + names[i % names.size()] + '\0'});
    }
    plants.push_back({size - lastName.size() - 1, std::string(1, '\0') + lastName});
  }

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string block(kBlockSize, '\0');
  std::uint64_t state = seed;
  for (std::uint64_t start = 0; start < size; start += kBlockSize) {
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size - start));
    for (std::size_t i = 0; i < length; i += 8) {
      std::uint64_t r = NextRandom(state);
      for (std::size_t k = 0; k < 8 && i + k < length; ++k, r >>= 8) {
        block[i + k] = static_cast<char>(NoiseByte(static_cast<unsigned char>(r)));
      }
    }
    for (const Plant& plant : plants) {
      // Copy the part of the plant that falls into this block.
      const std::uint64_t from = std::max(plant.offset, start);
      const std::uint64_t to = std::min<std::uint64_t>(plant.offset + plant.bytes.size(), start + length);
      for (std::uint64_t p = from; p < to; ++p) block[p - start] = plant.bytes[p - plant.offset];
    }
    out.write(block.data(), static_cast<std::streamsize>(length));
  }
  out.close();
  if (!out) Fail("cannot write " + path.string());
}

// ---------------------------------------------------------------------------
// Country list and results script

std::string GermanName(int id) {
  if (id == 34) return "San Marino";
  if (id == 41) return "Niederlande";
  return "Land " + std::to_string(id);
}

std::string EnglishName(int id) {
  if (id == 34) return "San_Marino";
  if (id == 41) return "Netherlands";
  return "Country_" + std::to_string(id);
}

// The two-digit companion code of a country's competitions: 29 goes with 41
// and 22 with 34; other countries get codes of their own.
std::string CompanionCode(int id) {
  if (id == 41) return "29";
  if (id == 34) return "22";
  int code = 10 + (id * 7) % 89;
  if (code == 22 || code == 29) code += 1;
  return std::to_string(code);
}

// Six lines per country: name, id, short name, companion code, continent,
// flag.  San Marino (34) comes before the Netherlands (41).
std::string CountryList() {
  std::string text;
  AddLine(text, "; Veldo country list");
  AddLine(text, "");
  for (int id = 1; id <= kCountries; ++id) {
    const std::string name = GermanName(id);
    AddLine(text, name);
    AddLine(text, std::to_string(id));
    std::string shortName = name.substr(0, 3);
    std::transform(shortName.begin(), shortName.end(), shortName.begin(), ::toupper);
    AddLine(text, shortName);
    AddLine(text, CompanionCode(id));
    AddLine(text, std::to_string(1 + id % 6));
    AddLine(text, "flags\\" + std::to_string(id) + ".tpi");
  }
  return text;
}

std::string ResultsScript() {
  std::string text;
  AddLine(text, "; Veldo results script");
  AddLine(text, "[COUNTRIES]");
  for (int id = 1; id <= kCountries; ++id) {
    if (id == 34) {
      AddLine(text, "34 ; San_Marino");
    } else if (id == 41) {
      AddLine(text, "41 ; Netherlands\t1");
    } else {
      AddLine(text, std::to_string(id) + " ; " + EnglishName(id) + "\t" + std::to_string(id % 2));
    }
  }
  AddLine(text, "");
  AddLine(text, "[MATCHES]");
  AddLine(text, "34 ; 41 ; 0 : 7");
  AddLine(text, "41 ; 7 ; 2 : 2");
  AddLine(text, " 34 ; San_Marino");
  AddLine(text, "41 ; netherlands\t1");
  return text;
}

// ---------------------------------------------------------------------------
// Country databases

// A line for a record position that holds a country id.  The pattern mixes
// 34, 41, the file's own id and near misses that must never change.
std::string IdLine(int choice, int ownId) {
  static const char* const kNearMisses[] = {"34 ", " 41", "034", "342", "4"};
  switch (choice % 5) {
    case 0: return "34";
    case 1: return "41";
    case 2: return std::to_string(ownId);
    case 3: return kNearMisses[(choice / 5) % 5];
    default: return std::to_string(1 + choice % kCountries);
  }
}

void AddClub(std::string& text, int id, int club, std::uint64_t& state) {
  AddLine(text, "%INDEX%CLUB");
  AddLine(text, "Club " + std::to_string(id) + "-" + std::to_string(club));
  for (int line = 2; line <= 102; ++line) AddLine(text, std::to_string(NextRandom(state) % 100));
  AddLine(text, IdLine(club, id));          // line 103: swapped
  AddLine(text, club % 2 ? "34" : "41");    // line 104: never swapped
  AddLine(text, IdLine(club + 1, id));      // line 105: swapped
  AddLine(text, club % 2 ? "41" : "34");    // line 106: never swapped
  for (int line = 107; line <= 110; ++line) AddLine(text, std::to_string(NextRandom(state) % 1000));
  AddLine(text, "%INDEXEND%CLUB");
}

void AddPlayer(std::string& text, int id, int player, std::uint64_t& state) {
  AddLine(text, "%INDEX%PLAYER");
  AddLine(text, "Player " + std::to_string(id) + "-" + std::to_string(player));
  AddLine(text, "Firstname " + std::to_string(player));
  AddLine(text, std::to_string(1970 + NextRandom(state) % 20));
  AddLine(text, std::to_string(NextRandom(state) % 4));
  AddLine(text, std::to_string(NextRandom(state) % 50));
  AddLine(text, std::to_string(NextRandom(state) % 100));
  AddLine(text, IdLine(player, id));       // line 7: swapped
  AddLine(text, IdLine(player + 2, id));   // line 8: swapped
  AddLine(text, "41");                     // line 9: never swapped
  AddLine(text, std::to_string(NextRandom(state) % 100));
  AddLine(text, std::to_string(NextRandom(state) % 100));
  AddLine(text, "%INDEXEND%PLAYER");
}

// Country database `id` of about `targetBytes` bytes: competition part and
// competition sections (with their teams section), then club records each
// followed by a few player records.
std::string CountryDatabase(int id, std::size_t targetBytes) {
  const std::string n = std::to_string(id);
  const std::string code = CompanionCode(id);
  std::uint64_t state = 1000 + static_cast<std::uint64_t>(id);
  std::string text;
  text.reserve(targetBytes + 2048);

  AddLine(text, "; Veldo country database " + n);
  AddLine(text, GermanName(id));
  AddLine(text, n);
  AddLine(text, "GET_POOL, {" + n + ", POOL, 0}");

  AddLine(text, "%INDEX%COMPETITIONPART");
  AddLine(text, code + ",1," + n + ",0");
  AddLine(text, code + ",2," + n + ",1");
  AddLine(text, code + ",5," + code);
  AddLine(text, "%INDEXEND%COMPETITIONPART");

  AddLine(text, "%INDEX%COMPETITION");
  AddLine(text, "{ " + n + ", 1, \"League " + n + "\" }");
  AddLine(text, "{" + n + ", 1, \"no blank\" }");
  AddLine(text, "GET_POOL, {" + n + ", POOL, 0}, 18");
  AddLine(text, "GET_POOL, {" + n + ", POOL, 1}");
  AddLine(text, "%INDEX%TEAMS");
  AddLine(text, code + ",3," + code + ",7");
  AddLine(text, code + "," + code + "0");
  AddLine(text, code + "0,1");
  AddLine(text, "3," + code);
  AddLine(text, "%INDEXEND%TEAMS");
  AddLine(text, "{ " + n + ", 2, \"Cup " + n + "\" }");
  AddLine(text, "%INDEXEND%COMPETITION");

  int club = 0, player = 0;
  do {
    AddClub(text, id, club++, state);
    for (int k = 0; k < 4; ++k) AddPlayer(text, id, player++, state);
  } while (text.size() < targetBytes);
  return text;
}

// ---------------------------------------------------------------------------
// Stand-in programs

void WriteScript(const fs::path& path, const std::string& body) {
  WriteWholeFile(path, body);
  if (chmod(path.c_str(), 0755) != 0) Fail("cannot make " + path.string() + " executable");
}

const char kEditorStandIn[] =
    "#!/bin/sh\n"
    "# Stand-in for the game's editor: appends its arguments as one line to\n"
    "# editor.log in the current directory.\n"
    "printf '%s\\n' \"$*\" >> editor.log\n";

const char kUninstallerStandIn[] =
    "#!/bin/sh\n"
    "# Stand-in for the uninstaller: runs the patch's uninstall when the patch\n"
    "# program lies in this folder.\n"
    "if [ -x ./vandoril-patch.exe ]; then exec ./vandoril-patch.exe /uninstall; fi\n"
    "echo 'Run vandoril-patch /uninstall in this folder to remove the patch.'\n";

// ---------------------------------------------------------------------------
// Generation

std::uint64_t ParseSize(const char* text, const char* option) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*text == '\0' || *end != '\0' || *text == '-' || value > (1ull << 20)) {
    Fail(std::string("bad value for ") + option + ": " + text);
  }
  return value;
}

void MakeFolder(const fs::path& folder, std::uint64_t archiveBytes, std::size_t databaseBytes) {
  std::error_code ec;
  if (fs::exists(folder, ec) && !(fs::is_directory(folder, ec) && fs::is_empty(folder, ec))) {
    Fail(folder.string() + " exists and is not an empty folder; give a new folder");
  }
  fs::create_directories(folder / "database", ec);
  fs::create_directories(folder / "script", ec);
  if (ec) Fail("cannot create " + folder.string() + ": " + ec.message());

  WriteArchive(folder / "art_01.big", archiveBytes, 1, kArt01Names, "country41");
  WriteArchive(folder / "art_02.big", archiveBytes, 2, kArt02Names, "niederlande.");
  WriteArchive(folder / "art_03.big", archiveBytes, 3, kArt03Names, "\\34.tpi");
  WriteWholeFile(folder / "database" / "countries.sav", CountryList());
  WriteWholeFile(folder / "script" / "Results.txt", ResultsScript());
  for (int id = 1; id <= kCountries; ++id) {
    WriteWholeFile(folder / "database" / ("country" + std::to_string(id) + ".sav"), CountryDatabase(id, databaseBytes));
  }
  WriteScript(folder / "editor.exe", kEditorStandIn);
  WriteScript(folder / "Brisco-UnInstall.exe", kUninstallerStandIn);

  std::cout << "Sample game folder " << folder.string() << ": art_01.big, art_02.big, art_03.big ("
            << archiveBytes << " bytes each), database/countries.sav, script/Results.txt, database/country1.sav"
            << " to country" << kCountries << ".sav (about " << databaseBytes / 1024
            << " KiB each), stand-ins editor.exe and Brisco-UnInstall.exe.\n";
}

// ---------------------------------------------------------------------------
// Comparison

// Every file and folder under `root`, as paths relative to it, sorted.
std::vector<std::string> ListTree(const fs::path& root) {
  std::vector<std::string> entries;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = fs::relative(it->path(), root).generic_string();
    if (it->is_directory()) name += "/";
    entries.push_back(name);
  }
  if (ec) Fail("cannot read " + root.string() + ": " + ec.message());
  std::sort(entries.begin(), entries.end());
  return entries;
}

bool IsTextFile(const std::string& name) {
  const std::string ext = fs::path(name).extension().string();
  return ext == ".sav" || ext == ".txt";
}

// Compares two files block by block.  Returns an empty string when they are
// the same, else where they first differ (a line for text, a byte otherwise).
std::string FirstDifference(const fs::path& a, const fs::path& b, bool text) {
  std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
  if (!inA || !inB) return "cannot be read";
  std::string blockA(kBlockSize, '\0'), blockB(kBlockSize, '\0');
  std::uint64_t offset = 0, line = 1;
  for (;;) {
    inA.read(&blockA[0], kBlockSize);
    inB.read(&blockB[0], kBlockSize);
    const std::size_t gotA = static_cast<std::size_t>(inA.gcount()), gotB = static_cast<std::size_t>(inB.gcount());
    const std::size_t common = std::min(gotA, gotB);
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(blockA.begin(), blockA.begin() + common, blockB.begin()).first - blockA.begin());
    line += static_cast<std::uint64_t>(std::count(blockA.begin(), blockA.begin() + same, '\n'));
    if (same < common || gotA != gotB) {
      if (text) return "differs from line " + std::to_string(line);
      return "differs from byte " + std::to_string(offset + same);
    }
    if (gotA == 0) return "";
    offset += gotA;
  }
}

int Compare(const fs::path& a, const fs::path& b) {
  const std::vector<std::string> listA = ListTree(a), listB = ListTree(b);
  std::vector<std::string> onlyA, onlyB, common;
  std::set_difference(listA.begin(), listA.end(), listB.begin(), listB.end(), std::back_inserter(onlyA));
  std::set_difference(listB.begin(), listB.end(), listA.begin(), listA.end(), std::back_inserter(onlyB));
  std::set_intersection(listA.begin(), listA.end(), listB.begin(), listB.end(), std::back_inserter(common));

  int differences = 0, files = 0;
  for (const std::string& name : onlyA) {
    std::cout << "only in " << a.string() << ": " << name << "\n";
    ++differences;
  }
  for (const std::string& name : onlyB) {
    std::cout << "only in " << b.string() << ": " << name << "\n";
    ++differences;
  }
  for (const std::string& name : common) {
    if (name.back() == '/') continue;
    ++files;
    const std::string where = FirstDifference(a / name, b / name, IsTextFile(name));
    if (!where.empty()) {
      std::cout << name << ": " << where << "\n";
      ++differences;
    }
  }
  if (differences == 0) {
    std::cout << "Identical: " << files << " files, every one byte for byte.\n";
    return 0;
  }
  std::cout << differences << " difference(s).\n";
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc >= 2 && std::strcmp(argv[1], "--compare") == 0) {
    if (argc != 4) Usage();
    return Compare(argv[2], argv[3]);
  }
  if (argc < 2 || argv[1][0] == '-') Usage();
  std::uint64_t archiveBytes = 256 * 1024;
  std::size_t databaseBytes = 8 * 1024;
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) Usage();
    if (std::strcmp(argv[i], "--archive-mib") == 0) {
      archiveBytes = ParseSize(argv[i + 1], "--archive-mib") << 20;
    } else if (std::strcmp(argv[i], "--archive-kib") == 0) {
      archiveBytes = ParseSize(argv[i + 1], "--archive-kib") << 10;
    } else if (std::strcmp(argv[i], "--database-kib") == 0) {
      databaseBytes = static_cast<std::size_t>(ParseSize(argv[i + 1], "--database-kib") << 10);
    } else {
      Usage();
    }
  }
  MakeFolder(argv[1], archiveBytes, databaseBytes);
  return 0;
}
