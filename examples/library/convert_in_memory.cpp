// Converts a description held in memory to its image in memory with pibgen's library, and
// prints the image's checksum byte: the worked example's, 35.
#include <pibgen/pibgen.h>

#include <cstdio>

int main() {
  constexpr const char* kDescription =
      "<pib>"
      "<field name=\"version\"><type>System.UInt16</type><value>1</value></field>"
      "<field name=\"checksum\"><type>System.Byte</type><value>2</value></field>"
      "<field name=\"payload\"><type>System.Byte[]</type><size>3</size><value>616263</value>"
      "</field>"
      "</pib>";
  const pibgen::ImageResult result = pibgen::ConvertDescription(kDescription);
  if (!result) {
    std::printf("%s: %s\n", result.problem->code.c_str(), result.problem->message.c_str());
    return 1;
  }
  std::printf("%02X\n", result.image[2]);
  return 0;
}
