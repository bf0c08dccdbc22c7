// The forms in which a placeholder inserts a name or path: "\" (backslashes
// doubled), "%" (a URL) and "&" (HTML text).
#pragma once

#include <string>

#include "text/paths.h"

/// Every backslash doubled.
std::string DoubleBackslashes(const std::string& text);

/// The URL form of a name or path: separators become "/", and every byte
/// other than A-Z a-z 0-9 - . _ ~ / is written as %XX. An absolute path
/// becomes a whole file URL (file:///tmp/a%20b/, and in the Windows style
/// file:///C:/photos/ and file://server/share/x); a relative one stays
/// relative.
std::string UrlForm(const std::string& text, PathStyle style = kNativeStyle);

/// The HTML form of a text: & < > " ' [ ] become character references, so
/// the form can never hold a placeholder.
std::string HtmlForm(const std::string& text);
