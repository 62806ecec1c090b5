#include "ringwatch/sources/mqtt/mosquitto_handles.h"

#include "common/status.h"

namespace hushcall::ringwatch {

MosquittoLibrary::MosquittoLibrary() {
  if (::mosquitto_lib_init() != MOSQ_ERR_SUCCESS) Fail(kFail);
}

MosquittoLibrary::~MosquittoLibrary() { ::mosquitto_lib_cleanup(); }

}  // namespace hushcall::ringwatch
