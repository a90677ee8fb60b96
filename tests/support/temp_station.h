#pragma once
// Test helpers for files: a temporary station root, file bytes, and a guard that makes
// file permission checks apply on this thread even when the tests run as root.
#include <linux/capability.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace velta::test {

inline QByteArray fileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
  return f.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write test file");
  f.write(bytes);
}

// While alive, this thread's file accesses are checked as user "nobody" when the process
// runs as root (root would otherwise pass every permission check). Nothing otherwise.
class UnprivilegedFileAccess {
 public:
  UnprivilegedFileAccess() : root_(geteuid() == 0) {
    if (root_) {
      setfsgid(65534);
      setfsuid(65534);
    }
  }
  ~UnprivilegedFileAccess() {
    if (root_) {
      setfsuid(0);
      setfsgid(0);
    }
  }
  UnprivilegedFileAccess(const UnprivilegedFileAccess&) = delete;
  UnprivilegedFileAccess& operator=(const UnprivilegedFileAccess&) = delete;

 private:
  bool root_;
};

// While alive, this thread's file accesses obey the permission bits even as root (the
// capabilities that override them are lowered, kept in the permitted set and raised
// again at the end); files made meanwhile still belong to the process's user.
class PermissionBitsApply {
 public:
  PermissionBitsApply() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    changed_ = syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~PermissionBitsApply() {
    if (changed_) syscall(SYS_capset, &header_, saved_);
  }
  PermissionBitsApply(const PermissionBitsApply&) = delete;
  PermissionBitsApply& operator=(const PermissionBitsApply&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool changed_ = false;
};

// A temporary folder that other users may enter (so permission tests mean something).
class OpenTempDir {
 public:
  OpenTempDir() { QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                        QFileDevice::ExeGroup); }
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

}  // namespace velta::test
