#include "tickets/JCTXMLWrapper.h"

#include "tickets/JCTBooleanFeature.h"
#include "tickets/JCTImageAdjustments.h"
#include "tickets/JCTTicket.h"
#include "tickets/JCTWords.h"

namespace {

// The word at the device path + rest, or the empty text; true when read.
bool readDeviceWord(MPrint::JCTTicket& ticket, const wchar_t* rest, jct::WordTable table, std::wstring& field)
{
    int value = 0;
    const bool ok = jct::readWord(&ticket, std::wstring(JCTXMLWrapper::kDevicePath) + rest, table, value);
    field = ok ? jct::wordOfValue(table, value) : std::wstring();
    return ok;
}

} // namespace

bool JCTXMLWrapper::open(MPrint::JCTTicket& ticket, const wchar_t* fileName)
{
    return ticket.initialize() && ticket.loadFile(fileName);
}

bool JCTXMLWrapper::read(const wchar_t* fileName)
{
    MPrint::JCTTicket ticket;
    return open(ticket, fileName) && readLoaded(ticket);
}

bool ChromalignXMLWrapper::readLoaded(MPrint::JCTTicket& ticket)
{
    bool any = false;
    const struct {
        const wchar_t* rest;
        jct::WordTable table;
        std::wstring* field;
    } words[] = {
        {jctpath::kChromalign, jct::WordTable::Enable, &chromalign},
        {jctpath::kImageIdentification, jct::WordTable::Enable, &imageIdentification},
        {jctpath::kJPEGArtifactReduction, jct::WordTable::Enable, &jpegArtifactReduction},
        {jctpath::kJPEGPassthrough, jct::WordTable::Enable, &jpegPassthrough},
        {jctpath::kPNGPassthrough, jct::WordTable::Enable, &pngPassthrough},
        {jctpath::kPNGTransparency, jct::WordTable::Location, &pngTransparency},
    };
    for (const auto& word : words)
        any = readDeviceWord(ticket, word.rest, word.table, *word.field) || any;
    JCTImageAdjustments::List list;
    const bool listRead =
        JCTImageAdjustments::readList(&ticket, std::wstring(kDevicePath) + jctpath::kImageAdjustments, list);
    imageAdjustments = listRead ? JCTImageAdjustments::listText(list) : std::wstring();
    return any || listRead;
}

bool OutputBinOrientationXMLWrapper::readLoaded(MPrint::JCTTicket& ticket)
{
    return readDeviceWord(ticket, jctpath::kOutputBinOrientation, jct::WordTable::Orientation, orientation);
}

bool DuplexOrientationXMLWrapper::readLoaded(MPrint::JCTTicket& ticket)
{
    return readDeviceWord(ticket, jctpath::kDuplexOrientation, jct::WordTable::Orientation, orientation);
}
