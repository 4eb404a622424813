#pragma once

// The texts the preview server hands out besides the user's files.
namespace PreviewAssets {

// The script put into every served page: takes the sheet's text over Server-Sent
// Events and swaps it in without reloading; reports clicks in Inspect mode.
const char *liveScript();

// The built-in page holding every common HTML element.
const char *samplePage();

} // namespace PreviewAssets
