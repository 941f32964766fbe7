// Reading a file whole into memory, for the text form.
#ifndef DZV_DICTIONARY_WHOLE_FILE_H_
#define DZV_DICTIONARY_WHOLE_FILE_H_

#include <cstddef>
#include <memory>
#include <string>

#include "platform/files.h"

namespace dzv::dict {

// Reads every byte of the file at `path` (through `files`) into `*data`, followed by one zero
// byte, and sets `*size` to the number of bytes read. Returns false when the
// file cannot be opened, its size cannot be learned, or it yields fewer
// bytes than its size. Throws std::bad_alloc when the buffer cannot be had.
bool ReadWholeFile(platform::Files& files, const std::string& path, std::unique_ptr<char[]>* data,
                   size_t* size);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_WHOLE_FILE_H_
