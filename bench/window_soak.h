// The main window over a long session: many downloads one after another, each against a freshly
// reset emulated controller and checked against its own image, and what they leave behind; then a
// controller that floods the line after an error end.
#pragma once

class CFlashDownloaderDlg;

namespace bench {

// Prints "name value" lines: soak_downloads, soak_fd_growth and soak_rss_growth_kb (from the
// tenth download to the last), flood_rss_growth_kb and flood_in_buffer_bytes (over three seconds
// of flood). A download that does not end as it must is an "error ..." line, and false.
bool RunWindowSoak(CFlashDownloaderDlg& dlg, int downloads, int guardMs);

}  // namespace bench
