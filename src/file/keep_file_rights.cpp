#include "file/keep_file_rights.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

#ifdef PIBGEN_HAVE_LIBATTR
#include <attr/libattr.h>
#endif
#if defined(__linux__)
#include <sys/xattr.h>
#endif

namespace pibgen::file {
namespace {

#if defined(__linux__)
constexpr char kAccessAcl[] = "system.posix_acl_access";

// Whether the file has an attribute of that name.
bool HasAttribute(int fd, const char* name) {
  return ::fgetxattr(fd, name, nullptr, 0) >= 0 || errno == ERANGE;
}
#endif

#ifdef PIBGEN_HAVE_LIBATTR
bool Begins(const char* name, const char* prefix) {
  return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}
// What the system's list (/etc/xattr.conf) says is never copied stays behind; what it marks
// as part of the permissions (the ACL) is copied, as the permissions are.
bool Copied(const char* name, struct error_context* context) {
  return attr_copy_action(name, context) != ATTR_ACTION_SKIP;
}
// The ACL (system.*) and the user's own attributes: the file is not the old one without them.
int Needed(const char* name, struct error_context* context) {
  return (Begins(name, "system.") || Begins(name, "user.")) && Copied(name, context);
}
int Optional(const char* name, struct error_context* context) {
  return !Begins(name, "system.") && !Begins(name, "user.") && Copied(name, context);
}
#endif

bool CopyAttributes(int from, int to, bool* attributes) {
#if defined(__linux__)
  // Most old files have no attributes at all: one look tells, and there is nothing to copy.
  const bool none = ::flistxattr(from, nullptr, 0) == 0;
  *attributes = !none;
  // A new file may have taken an ACL from its folder's default one: only the old file's stays.
  if ((none || !HasAttribute(from, kAccessAcl)) && ::fremovexattr(to, kAccessAcl) != 0 &&
      errno != ENODATA && errno != ENOTSUP) {
    return false;
  }
  if (none) return true;
#endif
#ifdef PIBGEN_HAVE_LIBATTR
  // Without an error context libattr prints nothing; failures show in the result.
  if (attr_copy_fd(nullptr, from, nullptr, to, Needed, nullptr) != 0) return false;
  // security.* (an SELinux label, file capabilities) and trusted.* where the process may set
  // them; where it may not, the new file has what the system gives it, which grants no more.
  if (attr_copy_fd(nullptr, from, nullptr, to, Optional, nullptr) != 0) {
  }
  return true;
#elif defined(__linux__)
  // Nothing here copies attributes: a file with any is not carried over.
  return ::flistxattr(from, nullptr, 0) <= 0;
#else
  (void)from;
  (void)to;
  *attributes = false;
  return true;
#endif
}

}  // namespace

bool KeepFileRights(int from, const struct stat& from_status, int to, bool* attributes) {
  // Owner first: a change of owner clears setuid and setgid, which the mode then sets.
  if (::fchown(to, from_status.st_uid, from_status.st_gid) != 0) return false;
  bool any = true;  // where they cannot be listed, assume there are some
  if (!CopyAttributes(from, to, &any)) return false;
  if (attributes != nullptr) *attributes = any;
  const mode_t mode = from_status.st_mode & 07777;
  struct stat now {};
  // The system may drop setgid silently (a group the process is not in): looked at after.
  return ::fchmod(to, mode) == 0 && ::fstat(to, &now) == 0 && now.st_uid == from_status.st_uid &&
         now.st_gid == from_status.st_gid && (now.st_mode & 07777) == mode;
}

}  // namespace pibgen::file
