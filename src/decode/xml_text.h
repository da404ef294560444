#pragma once

#include <string>
#include <string_view>

namespace pibgen {

// Appends text so that an XML reader gives it back unchanged: as element content, or as an
// attribute value in double quotes. Markup characters become references, and so do the
// white space characters a reader would change (a carriage return anywhere; a tab or line
// feed in an attribute, which attribute normalisation turns into a blank).
void AppendXmlContent(std::string& out, std::string_view text);
void AppendXmlAttribute(std::string& out, std::string_view text);

}  // namespace pibgen
