#include "JsonText.h"

#include <exception>
#include <memory>

bool ParseJsonText(const std::string& text, Json::Value* value, std::string* errors) {
  std::string messages;
  bool parsed = false;
  try {
    const Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    parsed = reader->parse(text.data(), text.data() + text.size(), value, &messages);
  } catch (const std::exception& error) {  // nesting deeper than the reader's stack limit
    messages = error.what();
  }
  if (errors != nullptr) *errors = messages;
  return parsed;
}
