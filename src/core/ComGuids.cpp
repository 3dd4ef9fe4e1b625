#include "core/ComGuids.h"

// Values as registered by msxml3/msxml6; libuuid of mingw-w64 lacks them.
EXTERN_C const CLSID CLSID_SAXXMLReader = {0x079aa557, 0x4a18, 0x424a, {0x8e, 0xee, 0xe3, 0x9f, 0x0a, 0x8d, 0x41, 0xb9}};
EXTERN_C const CLSID CLSID_SAXXMLReader30 = {0x3124c396, 0xfb13, 0x4836, {0xa6, 0xad, 0x13, 0x17, 0xf1, 0x71, 0x36, 0x88}};
EXTERN_C const CLSID CLSID_SAXXMLReader60 = {0x88d96a0c, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
EXTERN_C const CLSID CLSID_DOMDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
EXTERN_C const CLSID CLSID_DOMDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
EXTERN_C const IID IID_ISAXXMLReader = __uuidof(ISAXXMLReader);
EXTERN_C const IID IID_ISAXContentHandler = __uuidof(ISAXContentHandler);
EXTERN_C const IID IID_ISAXErrorHandler = __uuidof(ISAXErrorHandler);
EXTERN_C const IID IID_ISAXAttributes = __uuidof(ISAXAttributes);
EXTERN_C const IID IID_ISAXLocator = __uuidof(ISAXLocator);
EXTERN_C const IID IID_IXMLDOMDocument2 = __uuidof(IXMLDOMDocument2);
