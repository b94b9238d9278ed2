#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravixctl {

// Builds one JSON document as text. The caller nests objects and arrays correctly; the writer
// places the commas and escapes every string, so any byte sequence a camera or file name
// contains stays valid JSON.
class jsonWriter {
  public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member of the current object.
    void key(const std::string& name);
    void value(const std::string& text);
    void value(const char* text) { value(std::string(text)); }
    void value(int64_t number);
    void value(double number);
    void value(bool flag);
    void value(const std::vector<int64_t>& numbers);

    const std::string& text() const { return text_; }

    // `text` as a quoted JSON string: control characters, quotes and backslashes escaped, bytes
    // that are not valid UTF-8 replaced by U+FFFD.
    static std::string quoted(const std::string& text);

  private:
    void separate();

    std::string text_;
    // One entry per open object or array: whether it has a member yet.
    std::vector<bool> hasMember_;
    bool afterKey_ = false;
};

}  // namespace dravixctl
