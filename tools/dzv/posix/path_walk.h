// Resolving the path of a file that is to be written, one component at a
// time, under the rule the library applies before it saves: a symbolic
// link in a sticky directory that everyone may write (such as /tmp) is not
// followed when it belongs neither to the effective user nor to the
// directory's owner (the kernel's protected_symlinks rule, applied whatever
// the sysctl says, at every link of the path, not only the last). A link
// anywhere else is followed, as far as 40 links. The walk ends holding the
// directory that the save writes in, so that what is done there (making
// the lock file) happens in the directory that was checked.
#ifndef DZV_TOOLS_DZV_PATH_WALK_H_
#define DZV_TOOLS_DZV_PATH_WALK_H_

#include <string>

namespace dzv::cli {

class WalkedPath {
 public:
  // Walks path. Never throws for what it finds; see refusal() and
  // directory().
  explicit WalkedPath(const std::string& path);
  ~WalkedPath();
  WalkedPath(const WalkedPath&) = delete;
  WalkedPath& operator=(const WalkedPath&) = delete;

  // Why the path cannot be written (a link planted by another user, a
  // link to a deleted file, too many links, a component that is no
  // directory, ...), naming the component; empty when nothing speaks
  // against it.
  const std::string& refusal() const { return refusal_; }
  // A descriptor (O_PATH) of the directory that holds the file, or -1 when
  // the path was refused, a directory on the way does not exist, or the
  // path ends in no name (".", "..", "dir/").
  int directory() const { return directory_; }
  // The file's name in that directory: the last component after every link
  // was followed.
  const std::string& name() const { return name_; }
  // The directory's path for messages: where it really is when the system
  // can tell, else as the walk spelt it.
  std::string DirectoryShown() const;

 private:
  void Hold(int directory, const std::string& name);

  std::string refusal_;
  int directory_ = -1;
  std::string name_;
  std::string spelt_;  // the directory as the walk spelt it
};

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_PATH_WALK_H_
