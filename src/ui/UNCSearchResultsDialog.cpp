#include "ui/UNCSearchResultsDialog.h"

#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/DestinationWorkflow.h"
#include "ui/ProsumerButton.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"
#include "ui/resources/UNCSearchResultsDialogIds.h"

UNCSearchResultsDialog::UNCSearchResultsDialog(LumoraPrintingExtension* extension,
                                               MPrint::DiscoveryServiceIntf* service)
    : SearchResultsDialog(extension, service)
{
}

UNCSearchResultsDialog::~UNCSearchResultsDialog()
{
    delete getChosenPath();
}

UINT UNCSearchResultsDialog::getTemplateId() const
{
    return IDD_UNC_SEARCH;
}

INT_PTR UNCSearchResultsDialog::onInitDialog(WPARAM wParam, LPARAM lParam)
{
    if (HWND browse = getDlgItem(IDC_UNC_BROWSE)) {
        auto* button = new ProsumerButton(browse, IDC_UNC_BROWSE, ProsumerButton::kGrey);
        if (!addOwnerDrawControl(browse, button)) {
            delete button;
            DestroyWindow(browse);
        }
    }
    const INT_PTR result = SearchResultsDialog::onInitDialog(wParam, lParam);
    EnableWindow(getDlgItem(IDOK), FALSE);
    return result;
}

bool UNCSearchResultsDialog::startDiscovery()
{
    setSearchFinished(true);
    return true;
}

MPrint::PrintPath* UNCSearchResultsDialog::takeChosenPath()
{
    MPrint::PrintPath* chosen = getChosenPath();
    setChosenPath(nullptr);
    return chosen;
}

void UNCSearchResultsDialog::showDetails(MPrint::PrintPath* path)
{
    SetDlgItemTextW(getWindow(), IDC_SEARCH_DETAILS,
                    path ? path->getStringAttribute(PrintPathAttr::PrinterInfo).c_str() : L"");
    invalidateControl(IDC_SEARCH_DETAILS);
}

void UNCSearchResultsDialog::addResult(MPrint::PrintPath* path)
{
    if (!path)
        return;
    const std::wstring& address = path->getStringAttribute(PrintPathAttr::Address);
    if (address.empty())
        return;
    SetDlgItemTextW(getWindow(), IDC_UNC_PATH, address.c_str());
    EnableWindow(getDlgItem(IDOK), TRUE);
    showDetails(path);
}

bool UNCSearchResultsDialog::isCompletePath(const std::wstring& text)
{
    int separators = 0;
    for (wchar_t c : text) {
        if (c == L'\\' && ++separators == 3)
            return true;
    }
    return false;
}

std::wstring UNCSearchResultsDialog::pathText() const
{
    wchar_t text[kMaxPathText + 1] = {};
    GetDlgItemTextW(getWindow(), IDC_UNC_PATH, text, kMaxPathText + 1);
    return text;
}

bool UNCSearchResultsDialog::takeSingle(PrintPathList& list)
{
    if (list.size() != 1)
        return false;
    delete getChosenPath();
    setChosenPath(list.front().release());
    list.clear();
    return true;
}

INT_PTR UNCSearchResultsDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    const WORD id = LOWORD(wParam);
    MPrint::DiscoveryServiceIntf* service = getService();
    LumoraPrintingExtension* extension = getExtension();
    MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;

    if (id == IDC_UNC_BROWSE && HIWORD(wParam) == BN_CLICKED) {
        pathMatchesText_ = false;
        PrintPathList found;
        if (service && service->Search(getWindow(), context, found, kSearchFlags) == 0)
            takeSingle(found);
        pathMatchesText_ = true;
        return 1;
    }
    if (id == IDC_UNC_PATH && HIWORD(wParam) == EN_CHANGE) {
        EnableWindow(getDlgItem(IDOK), isCompletePath(pathText()));
        if (pathMatchesText_ && getChosenPath()) {
            showDetails(nullptr);
            delete getChosenPath();
            setChosenPath(nullptr);
        }
        return SearchResultsDialog::onCommand(wParam, lParam);
    }
    if (id == IDOK && HIWORD(wParam) == 0) {
        const std::wstring text = pathText();
        setStatusText(IDS_LOOKING_UP);
        bool failed = true;
        PrintPathList found;
        if (service && service->Resolve(getWindow(), text, text, text, found) == 0 && takeSingle(found)) {
            pathMatchesText_ = false;
            addResult(getChosenPath());
            DWORD code = 0;
            failed = !MPrint::DestinationWorkflow::current().validateDeviceWithPrompt(getChosenPath(), getWindow(), code);
            if (failed)
                pathMatchesText_ = true;
        }
        setStatusText(IDS_CHECKING_DEVICE);
        if (failed) {
            const std::wstring message = uitext::load(extension, IDS_PRINTER_NOT_FOUND);
            const std::wstring caption = uitext::load(extension, IDS_ERROR_CAPTION);
            showMessageBox(getWindow(), message.c_str(), caption.c_str(), MB_ICONERROR | MB_SETFOREGROUND);
            return 1;
        }
    }
    return SearchResultsDialog::onCommand(wParam, lParam);
}

void UNCSearchResultsDialog::endDialog(INT_PTR result)
{
    // The base takes the chosen path from a list box, which this box lacks.
    MPrint::PrintPath* chosen = getChosenPath();
    SearchResultsDialog::endDialog(result);
    setChosenPath(chosen);
}
