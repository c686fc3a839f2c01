#pragma once
// File systems whose files live on another machine or behind a user-space
// server (by statfs f_type): their locks and shared maps do not hold
// across machines, and a change made elsewhere reaches no change watch.

#include <cstdint>

namespace plat::detail {

inline bool RemoteFileSystem(std::int64_t type) {
  switch (static_cast<std::uint32_t>(type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs, s3fs, virtiofs, ...)
    case 0x73757245:  // Coda
    case 0x5346414F:  // AFS
    case 0x6B414653:  // kAFS
    case 0x564C:      // NCP
    case 0x01021997:  // 9P (v9fs)
    case 0x00C36400:  // Ceph
    case 0x01161970:  // GFS2
    case 0x7461636F:  // OCFS2
    case 0x0BD00BD0:  // Lustre
    case 0x47504653:  // GPFS
    case 0xAAD7AAEA:  // PanFS
    case 0x20030528:  // OrangeFS
    case 0x13661366:  // OrangeFS (as some kernels report it)
    case 0x786F4256:  // VirtualBox shared folders
    case 0xBACBACBC:  // VMware shared folders
    case 0x7C7C6673:  // Parallels shared folders
      return true;
    default:
      return false;
  }
}

}  // namespace plat::detail
