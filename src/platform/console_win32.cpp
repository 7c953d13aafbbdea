#include "platform/console.h"

#include <windows.h>

#include <algorithm>
#include <iostream>
#include <streambuf>
#include <string>

namespace {

// How many bytes at the end of `text` begin a UTF-8 sequence that the text
// does not complete (0 to 3).
std::size_t IncompleteTail(const std::string& text) {
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const unsigned char byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: its sequence began further back
    const std::size_t length = byte >= 0xF8 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

// A stream buffer without a buffer of its own: every insertion is written to
// the console `console_` straight away, as UTF-16, so that nothing waits for
// a flush and standard output and error reach the screen in the order that
// they were written.  Bytes that are no UTF-8 show as U+FFFD.
class ConsoleWriter : public std::streambuf {
 public:
  explicit ConsoleWriter(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return Write(&byte, 1) ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* bytes, std::streamsize count) override { return Write(bytes, count) ? count : 0; }

 private:
  bool Write(const char* bytes, std::streamsize count) {
    pending_.append(bytes, static_cast<std::size_t>(count));
    const std::size_t complete = pending_.size() - IncompleteTail(pending_);
    std::wstring text(complete, L'\0');  // never more UTF-16 units than UTF-8 bytes
    text.resize(complete == 0 ? 0
                              : MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(complete), &text[0],
                                                    static_cast<int>(text.size())));
    pending_.erase(0, complete);
    for (std::size_t done = 0; done < text.size();) {
      // In pieces that any console takes whole, never between the two halves of a surrogate pair.
      DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192)), written = 0;
      if (done + piece < text.size() && IS_HIGH_SURROGATE(text[done + piece - 1])) --piece;
      if (!WriteConsoleW(console_, text.data() + done, piece, &written, nullptr) || written == 0) return false;
      done += written;
    }
    return true;
  }

  HANDLE console_;
  std::string pending_;  // the start of a character whose remaining bytes are still to come
};

void WriteToConsoleInUtf16(std::ostream& stream, DWORD standardHandle) {
  const HANDLE handle = GetStdHandle(standardHandle);
  DWORD mode = 0;
  // Never deleted: the streams are flushed once more as the process ends.
  if (GetConsoleMode(handle, &mode)) stream.rdbuf(new ConsoleWriter(handle));
}

}  // namespace

bool ConsoleClosesWithProgram() {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;  // input is not a console
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}

void WriteConsolesInUtf16() {
  WriteToConsoleInUtf16(std::cout, STD_OUTPUT_HANDLE);
  WriteToConsoleInUtf16(std::cerr, STD_ERROR_HANDLE);
}
