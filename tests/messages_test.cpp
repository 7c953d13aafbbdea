// The documents that quote the program (docs/messages.md, the players' README.txt) quote texts that it prints.
#include <algorithm>
#include <regex>

#include "installer/messages.h"
#include "test_support.h"

namespace {

// The texts in double quotes of the source file `name`, outside code spans, a line break read as a blank, and
// without a "... " or " ..." at either end, which stands for what is left out.
std::vector<std::string> Quotes(const std::string& name) {
  std::string text = std::regex_replace(ReadFile(VANDORIL_SOURCE_DIR "/" + name), std::regex(" *\n *"), " ");
  text = std::regex_replace(text, std::regex("`[^`]*`"), "");
  const std::regex quote("\"([^\"]*)\"");
  std::vector<std::string> quotes;
  for (std::sregex_iterator it(text.begin(), text.end(), quote), end; it != end; ++it)
    quotes.push_back(std::regex_replace(it->str(1), std::regex("^\\.\\.\\. | \\.\\.\\.$"), ""));
  return quotes;
}

TEST(MessagesTest, EveryQuoteOfTheDocumentsIsPartOfATextOfTheProgram) {
  const std::vector<std::string> texts = AllMessageTexts();
  for (const char* document : {"docs/messages.md", "packaging/README.txt"}) {
    const std::vector<std::string> quotes = Quotes(document);
    EXPECT_GT(quotes.size(), 15u) << document;
    for (const std::string& quote : quotes)
      EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](auto& text) { return text.find(quote) != text.npos; }))
          << document << " quotes \"" << quote << "\"";
  }
}

}  // namespace
