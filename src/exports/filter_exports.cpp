#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "tags/select_filters.h"

using quarn::exports::Arg;

extern "C" {

QUARN_API int QUARN_CALL UhfAddFilter(PortHandle port, const FilterRecord* filter, unsigned char* errorCode,
                                      int crcFlag) {
  return quarn::tags::AddFilter(port, filter, errorCode, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfDeleteFilterByIndex(PortHandle port, int filterIndex, unsigned char* errorCode,
                                                int crcFlag) {
  return quarn::tags::DeleteFilterByIndex(port, Arg(filterIndex), errorCode,
                                          Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfStartGetFilterByIndex(PortHandle port, int filterIndex, int filterOption,
                                                  unsigned char* errorCode, int crcFlag) {
  return quarn::tags::StartGetFilterByIndex(port, Arg(filterIndex),
                                            Arg(filterOption), errorCode,
                                            Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfReadFilterByIndex(PortHandle port, unsigned char* frameStatus, FilterRecord* filter) {
  return quarn::tags::ReadFilterByIndex(port, frameStatus, filter) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfSelectFilterByIndex(PortHandle port, int filterIndex, int filterOption,
                                                unsigned char* errorCode, int crcFlag) {
  return quarn::tags::SelectFilterByIndex(port, Arg(filterIndex),
                                          Arg(filterOption), errorCode,
                                          Arg(crcFlag))
             ? 1
             : 0;
}

}  // extern "C"
