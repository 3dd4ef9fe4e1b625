#include "ui/CustomDrawTreeViewNode.h"

namespace MPrint {

LRESULT CustomDrawTreeViewNode::onCustomDraw(const NMHDR*, NMTVCUSTOMDRAW* customDraw)
{
    if (!customDraw || customDraw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT || (customDraw->nmcd.uItemState & CDIS_FOCUS))
        return 0;
    customDraw->clrText = colour_;
    return CDRF_NOTIFYPOSTPAINT;
}

} // namespace MPrint
