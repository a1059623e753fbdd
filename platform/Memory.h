#pragma once

namespace Platform {

// Pictures of a whole screen (about 2 MB each) are made and freed at every change of scene. The C
// library would map fresh pages for each and give them back when freed, and touching new pages
// was half the cost of a switch to another background: such blocks are kept for reuse instead,
// in a heap backed by large pages where the system offers them.
void KeepLargeBlocksForReuse();

} // namespace Platform
