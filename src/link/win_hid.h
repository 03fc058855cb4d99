#pragma once

// The unit through the Win32 HID and SetupAPI interfaces (Windows only).
// makeSystemHid() gives the HidApi below to HidBackend, which does the
// listing, choosing and opening exactly as on every other system.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/hid_backend.h"

namespace v36 {

// The Win32 HidApi: HID interfaces from SetupAPI (present ones of the HID
// class), identified through a handle opened without access rights (which
// works while another program holds the unit), opened for overlapped
// reading and writing.
std::unique_ptr<HidApi> makeWinHid();

// An open interface as a HidHandle, taking ownership of `file` (a HANDLE
// opened with FILE_FLAG_OVERLAPPED). The lengths are the device's input and
// output report lengths, report id included (0: unknown). A read waits on
// the overlapped event for at most its timeout, keeping a read that has not
// completed for the next call; interrupt() cancels it.
std::unique_ptr<HidHandle> makeWinHidHandle(void* file, std::size_t inputLength,
                                            std::size_t outputLength);

}  // namespace v36
