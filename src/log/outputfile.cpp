#include "log/outputfile.h"

namespace ordalyn {

IoError CreateFileError(int errorCode, const std::string& fileName) {
  if (errorCode == FileInUseError()) {
    return IoError::WithReason(errorCode, "Cannot create file", fileName,
                               "The file is being written by another program");
  }
  if (errorCode == NoReaderError()) {
    return IoError::WithReason(errorCode, "Cannot create file", fileName, "The pipe has no reader");
  }
  return IoError::FromOs(errorCode, "Cannot create file", fileName);
}

}  // namespace ordalyn
