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

bool readOrientation(const wchar_t* fileName, const wchar_t* rest, std::wstring& orientation)
{
    MPrint::JCTTicket ticket;
    orientation.clear();
    return JCTXMLWrapper::open(ticket, fileName) &&
           readDeviceWord(ticket, rest, jct::WordTable::Orientation, orientation);
}

} // namespace

bool JCTXMLWrapper::open(MPrint::JCTTicket& ticket, const wchar_t* fileName)
{
    return ticket.initialize() && ticket.loadFile(fileName);
}

bool ChromalignXMLWrapper::read(const wchar_t* fileName)
{
    MPrint::JCTTicket ticket;
    if (!open(ticket, fileName))
        return false;
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

bool OutputBinOrientationXMLWrapper::read(const wchar_t* fileName)
{
    return readOrientation(fileName, jctpath::kOutputBinOrientation, orientation);
}

bool DuplexOrientationXMLWrapper::read(const wchar_t* fileName)
{
    return readOrientation(fileName, jctpath::kDuplexOrientation, orientation);
}
