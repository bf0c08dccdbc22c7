#include "page/text_helpers.h"

#include "platform/platform.h"

std::string WithTrailingSeparator(const std::string& path) {
  if (!path.empty() && path.back() == platform::kSeparator) return path;
  return path + platform::kSeparator;
}

std::string ReplaceText(const std::string& source, const std::string& find,
                        const std::string& replacement) {
  if (find.empty()) return source;
  size_t hit = source.find(find);
  if (hit == std::string::npos) return source;
  std::string result;
  result.reserve(source.size() + replacement.size());
  size_t pos = 0;
  // Searching the source past each occurrence is the same as searching the
  // working text behind the inserted replacement.
  do {
    result.append(source, pos, hit - pos);
    result += replacement;
    pos = hit + find.size();
    hit = source.find(find, pos);
  } while (hit != std::string::npos);
  result.append(source, pos, std::string::npos);
  return result;
}

std::string DoubleBackslashes(const std::string& text) { return ReplaceText(text, "\\", "\\\\"); }

std::string FolderDisplayName(const std::string& path) {
  std::string rest = path;
  if (!rest.empty() && rest.back() == platform::kSeparator) rest.pop_back();
  size_t last = rest.rfind(platform::kSeparator);
  if (last == std::string::npos) return "root";
  return rest.substr(last + 1);
}

namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

void AppendEncoded(std::string& out, const std::string& text, size_t from) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = from; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (Unreserved(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string UrlForm(const std::string& text) {
  // Only the path separator turns into "/": on a system whose separator is
  // "/", a backslash is part of a name and is encoded like any other byte.
  std::string path = text;
  for (char& c : path) {
    if (c == platform::kSeparator) c = '/';
  }
  std::string out;
  out.reserve(path.size() + 16);
  bool backslashSystem = platform::kSeparator == '\\';
  if (backslashSystem && path.size() >= 2 && path[0] == '/' && path[1] == '/') {
    out = "file:";  // a network share: the server becomes the URL's host
    AppendEncoded(out, path, 0);
  } else if (backslashSystem && path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') {
    out = "file:///";
    out += path.substr(0, 2);  // the drive's colon stays as it is
    AppendEncoded(out, path, 2);
  } else if (!path.empty() && path[0] == '/') {
    out = "file://";
    AppendEncoded(out, path, 0);
  } else {
    AppendEncoded(out, path, 0);
  }
  return out;
}

std::string HtmlForm(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '[':
        out += "&#91;";
        break;
      case ']':
        out += "&#93;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}
