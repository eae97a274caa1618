// A small writer of JSON text for the web console's answers. Texts go out as
// valid UTF-8 whatever the address book holds: a byte that is not part of a
// UTF-8 character becomes U+FFFD, so that a browser can always read the
// answer.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_JSON_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_JSON_H_

#include <string>
#include <string_view>
#include <vector>

namespace dabtool {

// `text` as a JSON string literal, quotes included.
std::string jsonQuoted(std::string_view text);

// Builds one JSON value. Inside an object every value follows key(); the
// writer puts the commas. REQUIRES: calls that nest properly.
class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view name);
  JsonWriter& value(std::string_view text);
  JsonWriter& value(const char* text) { return value(std::string_view(text)); }
  JsonWriter& value(long long number);
  JsonWriter& value(int number) { return value(static_cast<long long>(number)); }
  JsonWriter& value(size_t number) { return value(static_cast<long long>(number)); }
  JsonWriter& value(bool flag);
  JsonWriter& null();
  // key(name).value(v), the common case.
  template <typename T>
  JsonWriter& field(std::string_view name, const T& v) {
    return key(name).value(v);
  }
  JsonWriter& stringArray(std::string_view name, const std::vector<std::string>& items);

  const std::string& text() const { return out_; }

 private:
  void separate();

  std::string out_;
  std::vector<bool> empty_;  // per open object or array: nothing in it yet
  bool afterKey_ = false;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_JSON_H_
