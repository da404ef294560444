#pragma once

#include <sys/stat.h>

namespace pibgen::file {

// Gives the file open as `to` what the file open as `from` (whose state is `from_status`)
// grants: its owner and group, its permission bits, setuid and setgid included, its ACL and
// its extended attributes. False if the owner, group, permission bits, ACL or an attribute of
// the user's cannot be carried over: the new file would change hands or grant other rights.
// Attributes the system keeps for itself (security.*, trusted.*) are copied where the process
// may set them and otherwise left to the system. `*attributes`, when given, tells whether the
// old file has any extended attributes (an ACL, file capabilities) for writing to disturb.
bool KeepFileRights(int from, const struct stat& from_status, int to, bool* attributes = nullptr);

}  // namespace pibgen::file
