#include "platform/linux/soxr/SoxrConverters.h"

#include "platform/linux/soxr/SoxrConverter.h"

std::unique_ptr<AudioConverter> SoxrConverters::make(const PcmFormat& from, const PcmFormat& to) {
  if (!SoxrConverter::handles(from, to)) return nullptr;
  try {
    return std::make_unique<SoxrConverter>(from, to);
  } catch (const AudioConverter::Failure&) {
    return nullptr;
  }
}
