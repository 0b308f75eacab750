// Files and folders the program creates are for its own account alone: the log holds the
// router message (the customer's name, phone and address), the tickets the same, and the data
// folder the store database. POSIX: the file mode creation mask is set to 077 at start, so
// that a run from a shell (umask 022) creates what the service unit (UMask=0077) does: files
// 0600, folders 0700. A print spooler under another account is given the ticket folder by a
// default ACL (docs/operations.md), which the mask does not override. Windows: nothing to do;
// new files take the installation folder's permissions (docs/windows-install.md).
//
// Call once, at start-up, before other threads run.
#pragma once

namespace zlv::platform {

void RestrictNewFilesToOwner();

}  // namespace zlv::platform
