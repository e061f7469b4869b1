#include "media/v4l2/device_status.h"

#include <cerrno>

namespace camknob::v4l2 {

Status statusOfError(int error) {
  switch (error) {
    case 0:
      return noErr;
    case EACCES:
      return status::refused;
    case EPERM:
      return status::notPermitted;
    case EINVAL:
    case ERANGE:
    case EDOM:
      return status::badValue;
    case EILSEQ:  // the camera's "wrong state" for the request
      return status::wrongState;
    case ENODEV:
    case ENXIO:
    case ENOENT:
    case ESHUTDOWN:
      return status::gone;
    case EBUSY:
    case EAGAIN:
      return status::busy;
    case EIO:
    case EPIPE:
    case EPROTO:
    case ETIMEDOUT:
    case EREMOTE:
    case EOVERFLOW:
      return status::ioError;
    default:
      return status::failed;
  }
}

}  // namespace camknob::v4l2
