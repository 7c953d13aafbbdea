#include "crash_states.h"

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr long kNoReplace = 1;  // renameat2's RENAME_NOREPLACE

[[noreturn]] void Unmodelled(const TracedCall& call, const std::string& why) {
  throw std::runtime_error("operation " + std::to_string(call.number) + " (" + call.function + "): " + why);
}

long Number(const std::string& word) { return std::stol(word, nullptr, 0); }

}  // namespace

FolderImage ReadFolder(const std::string& dir) {
  FolderImage image;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
    const fs::file_status status = entry.symlink_status();
    std::ostringstream content;
    if (fs::is_symlink(status)) content << "-> " << fs::read_symlink(entry.path()).string();
    else content << static_cast<int>(status.permissions()) << ":";
    if (fs::is_directory(status)) content << "<dir>";
    else if (fs::is_regular_file(status)) content << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    else if (!fs::is_symlink(status)) throw std::runtime_error("not a file, folder or link: " + entry.path().string());
    image[fs::relative(entry.path(), dir).generic_string()] = content.str();
  }
  return image;
}

void WriteFolder(const std::string& dir, const FolderImage& image) {
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
  for (const auto& [name, value] : image) {  // a folder comes before what it holds
    const std::string path = dir + "/" + name, bytes = value.substr(value.find(':') + 1);
    if (value.compare(0, 3, "-> ") == 0) fs::create_symlink(value.substr(3), path);
    else if (bytes == "<dir>") fs::create_directory(path);
    else std::ofstream(path, std::ios::binary) << bytes;
  }
  for (auto it = image.rbegin(); it != image.rend(); ++it) {  // and is made read-only after it
    if (it->second.compare(0, 3, "-> ") != 0) fs::permissions(dir + "/" + it->first, fs::perms(std::stoi(it->second)));
  }
}

std::vector<TracedCall> ParseTrace(const std::string& text) {
  std::vector<TracedCall> calls;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    std::istringstream line(text.substr(at, end - at));
    at = end == std::string::npos ? end : end + 1;
    TracedCall call;
    std::string word;
    line >> call.number >> call.function;
    while (line >> word && word != "=") call.words.push_back(word);
    if (word != "=" || !(line >> call.result)) throw std::runtime_error("not a data trace: " + line.str());
    for (std::string key; line >> key >> word;) (key == "mode" ? call.mode : call.offset) = Number(word);
    if (call.offset >= 0) {
      if (at == std::string::npos || text.size() - at < static_cast<std::size_t>(call.result) + 1) {
        throw std::runtime_error("a write's bytes are cut off: " + line.str());
      }
      call.bytes = text.substr(at, call.result);
      at += call.bytes.size() + 1;
    }
    calls.push_back(call);
  }
  return calls;
}

namespace {

using Inode = CrashModel::Inode;
using Kind = CrashModel::Kind;
using Place = CrashModel::Place;
using Change = CrashModel::Change;
constexpr Kind kEntry = CrashModel::kEntry, kWrite = CrashModel::kWrite, kResize = CrashModel::kResize,
               kMode = CrashModel::kMode;

// What a torn write keeps whole: the sectors that it begins.
constexpr std::size_t kSector = 512;

Place Find(const CrashModel& model, const std::string& path) {
  Place place{-1, 0, ""};
  std::istringstream parts(path);
  for (std::string part; std::getline(parts, part, '/');) {
    if (part.empty() || part == ".") continue;
    if (place.inode < 0) return {-1, -1, ""};  // below something that is not there
    const auto folder = model.live.find(place.inode);
    const auto entry = folder == model.live.end() ? nullptr : &folder->second;
    place = {place.inode, entry != nullptr && entry->count(part) ? entry->at(part) : -1, part};
  }
  return place;
}

void Record(CrashModel& model, Kind kind, int inode, long number, const std::string& bytes = "",
            Place from = {-1, -1, ""}, Place to = {-1, -1, ""}, bool replaces = false) {
  Change change{kind, inode, number, bytes, from, to, replaces, {}};
  for (const int folder : {from.folder, to.folder}) {
    if (folder >= 0) change.awaited.insert(folder);
  }
  if (kind != kEntry) change.awaited.insert(inode);
  model.unflushed.push_back(model.changes.size());
  model.changes.push_back(change);
}

void Flush(CrashModel& model, int inode, bool dataOnly) {
  std::vector<std::size_t> still;
  for (const std::size_t index : model.unflushed) {
    Change& change = model.changes[index];
    if (!dataOnly || change.kind != kMode) change.awaited.erase(inode);
    if (!change.awaited.empty()) still.push_back(index);
  }
  model.unflushed.swap(still);
}

}  // namespace

CrashModel StartCrashModel(const FolderImage& before) {
  CrashModel model;
  model.inodes.push_back({true, 0755, ""});
  for (const auto& [name, value] : before) {
    const Place place = Find(model, name);
    const std::string bytes = value.substr(value.find(':') + 1);
    model.live[place.folder][place.name] = static_cast<int>(model.inodes.size());
    if (value.compare(0, 3, "-> ") == 0) model.inodes.push_back({false, -1, value});  // a link, as it is
    else model.inodes.push_back({bytes == "<dir>", std::stol(value), bytes == "<dir>" ? "" : bytes});
  }
  model.before = model.live;
  return model;
}

void ApplyCall(CrashModel& model, const TracedCall& call) {
  const std::string& f = call.function;
  // Reads, locks, hints and lookups change nothing on disk.
  static const std::set<std::string> kUnchanging = {"read", "flock", "sync_file_range", "stat", "lstat", "fstatat",
                                                    "statx", "access", "faccessat", "opendir"};
  if (call.result < 0 || kUnchanging.count(f) != 0) return;
  const std::vector<std::string>& w = call.words;
  const bool byFd = !w.empty() && w[0] == "fd";
  if (w.size() < (byFd ? 2u : 1u)) Unmodelled(call, "too few words");
  if (byFd && f != "close" && f != "fclose" && model.open.count(Number(w[1])) == 0) Unmodelled(call, "unknown descriptor");
  const int fdInode = byFd ? model.open[Number(w[1])] : -1;
  const Place place = byFd ? Place{-1, fdInode, ""} : Find(model, w[0]);
  if (place.inode < 0 && f != "mkdir" && f.compare(0, 4, "open") != 0 && f.compare(0, 5, "fopen") != 0) {
    Unmodelled(call, "no such file in the model: " + w[0]);
  }
  if (f == "open" || f == "openat" || f == "fopen" || f == "fopen64") {
    const long flags = w.size() > 1 ? Number(w[1]) : -1;
    int inode = place.inode;
    if (inode < 0) {
      if (flags < 0 || (flags & O_CREAT) == 0 || place.folder < 0) Unmodelled(call, "opened what is not there");
      inode = static_cast<int>(model.inodes.size());
      model.inodes.push_back({false, call.mode, ""});
      model.live[place.folder][place.name] = inode;
      Record(model, kEntry, inode, 0, "", {-1, -1, ""}, place);
    } else if (flags & O_TRUNC) {
      Record(model, kResize, inode, 0);
    }
    model.open[call.result] = inode;
  } else if (f == "close" || f == "fclose") {
    model.open.erase(Number(w[1]));
  } else if (f == "write" || f == "writev") {
    if (call.offset >= 0) Record(model, kWrite, place.inode, call.offset, call.bytes);
  } else if (f == "ftruncate" || f == "truncate") {
    Record(model, kResize, place.inode, Number(w.at(byFd ? 2 : 1)));
  } else if (f == "chmod" || f == "fchmod" || f == "fchmodat") {
    Record(model, kMode, place.inode, Number(w.at(byFd ? 2 : 1)));
  } else if (f == "fsync" || f == "fdatasync") {
    Flush(model, place.inode, f == "fdatasync");
  } else if (f == "mkdir") {
    const int inode = static_cast<int>(model.inodes.size());
    model.inodes.push_back({true, call.mode, ""});
    model.live[place.folder][place.name] = inode;
    Record(model, kEntry, inode, 0, "", {-1, -1, ""}, place);
  } else if (f == "unlink" || f == "unlinkat" || f == "remove" || f == "rmdir") {
    model.live[place.folder].erase(place.name);
    Record(model, kEntry, place.inode, 0, "", place);
  } else if (f == "rename" || f == "renameat2" || f == "link") {
    const Place target = Find(model, w.at(1));
    const bool moves = f != "link";
    const long flags = f == "renameat2" ? Number(w.at(2)) : 0;
    if (target.folder < 0 || (flags & ~kNoReplace) != 0) Unmodelled(call, "an unknown kind of rename");
    if (moves) model.live[place.folder].erase(place.name);
    model.live[target.folder][target.name] = place.inode;
    Record(model, kEntry, place.inode, 0, "", moves ? place : Place{-1, -1, ""}, target, flags == 0 && moves);
  } else {
    Unmodelled(call, "an unknown function");
  }
}

FolderImage CrashState(const CrashModel& model, const std::function<bool()>& keep, const std::function<bool()>& tear) {
  std::vector<Inode> inodes = model.inodes;
  std::map<int, std::map<std::string, int>> entries = model.before;
  std::size_t next = 0;  // in model.unflushed
  for (std::size_t index = 0; index < model.changes.size(); ++index) {
    const bool durable = next == model.unflushed.size() || model.unflushed[next] != index;
    if (!durable) ++next;
    if (!durable && !keep()) continue;
    const Change& c = model.changes[index];
    std::string& bytes = inodes[c.inode].bytes;
    const bool twoFolders = c.kind == kEntry && c.from.folder >= 0 && c.to.folder >= 0 && c.from.folder != c.to.folder;
    const bool torn = !durable && (c.kind == kWrite || twoFolders) && tear && tear();
    if (c.kind == kWrite) {
      const std::size_t at = static_cast<std::size_t>(c.number);
      std::string written = c.bytes;
      for (std::size_t i = torn ? kSector - at % kSector : written.size(); i < written.size(); ++i) {
        written[i] = at + i < bytes.size() ? bytes[at + i] : '\0';
      }
      bytes.resize(std::max(bytes.size(), at + written.size()));
      bytes.replace(at, written.size(), written);
    } else if (c.kind == kResize) {
      bytes.resize(static_cast<std::size_t>(c.number));
    } else if (c.kind == kMode) {
      inodes[c.inode].mode = c.number;
    } else {
      std::map<std::string, int>& from = entries[c.from.folder];
      if (c.from.folder >= 0 && !torn && from.count(c.from.name) != 0 && from[c.from.name] == c.inode) from.erase(c.from.name);
      std::map<std::string, int>& to = entries[c.to.folder];
      if (c.to.folder >= 0 && (c.replaces || to.count(c.to.name) == 0)) to[c.to.name] = c.inode;
    }
  }
  // What the game folder reaches, folder by folder.
  FolderImage image;
  std::vector<std::pair<int, std::string>> folders = {{0, ""}};
  for (std::size_t i = 0; i < folders.size() && i < inodes.size(); ++i) {
    for (const auto& [name, inode] : entries[folders[i].first]) {
      const Inode& node = inodes[inode];
      const std::string path = folders[i].second + name;
      image[path] = node.mode < 0 ? node.bytes : std::to_string(node.mode) + ":" + (node.folder ? "<dir>" : node.bytes);
      if (node.folder) folders.push_back({inode, path + "/"});
    }
  }
  return image;
}
