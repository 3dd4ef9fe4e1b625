// One SAX reader for every document parsed on a thread while the scope
// lives: code that reads a batch of documents (a history load) opens a scope
// and pays for COM set-up and reader creation once instead of per document.
// The innermost scope of a thread lends its reader to one parse at a time.
// Without a scope, a thread on which the module holds COM (its record has a
// successful initialisation) lends the reader its COM record keeps, made on
// first need and kept after each parse that succeeds, until that
// initialisation is undone. A parse that finds the reader lent out (a parse
// started from inside another) uses another one; a parse that fails leaves
// its reader unused again. Elsewhere a parse uses a reader of its own, as
// before. A scope belongs to the thread that made it and must end there,
// after every parse it lent to.
#pragma once

#include "core/ComGuids.h"

#include <wrl/client.h>

namespace MPrint {

class SaxReaderScope {
public:
    SaxReaderScope();
    ~SaxReaderScope();
    SaxReaderScope(const SaxReaderScope&) = delete;
    SaxReaderScope& operator=(const SaxReaderScope&) = delete;

    // The innermost scope's reader, else the thread's kept one, for the
    // lease's life; null when neither is there to lend or one could not be
    // made. The reader goes back for reuse only after succeeded().
    class Lease {
    public:
        Lease();
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ISAXXMLReader* reader() const { return reader_; }
        void succeeded() { succeeded_ = true; }

    private:
        bool lendThreadReader();

        SaxReaderScope* scope_ = nullptr;
        Microsoft::WRL::ComPtr<ISAXXMLReader> threadReader_; // taken from the thread's COM record
        ISAXXMLReader* reader_ = nullptr;
        bool succeeded_ = false;
    };

    // COM for a reader on the calling thread, through the thread's COM
    // record; initialised is set when there is an initialisation to undo
    // later. False when COM cannot be used on the thread.
    static bool initializeCom(bool& initialised);
    static void uninitializeCom();
    // A new MSXML reader with DTDs prohibited and no external entities, or null.
    static Microsoft::WRL::ComPtr<ISAXXMLReader> createReader();

private:
    SaxReaderScope* previous_;
    Microsoft::WRL::ComPtr<ISAXXMLReader> reader_;
    bool comInitialised_ = false;
    bool tried_ = false;    // COM was set up for the scope (or failed to be)
    bool comReady_ = false; // COM can be used on the scope's thread
    bool lent_ = false;
};

} // namespace MPrint
