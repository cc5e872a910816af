#pragma once
// Owners of GStreamer references. Any thread; an owner is used by one thread at a time.

#include <gst/gst.h>

#include <memory>

struct GstObjectUnref {
    void operator()(gpointer object) const noexcept { gst_object_unref(object); }
};
template <typename T>
using GstRef = std::unique_ptr<T, GstObjectUnref>;

struct GstMessageUnref {
    void operator()(GstMessage* message) const noexcept { gst_message_unref(message); }
};
using GstMessageRef = std::unique_ptr<GstMessage, GstMessageUnref>;

struct GstCapsUnref {
    void operator()(GstCaps* caps) const noexcept { gst_caps_unref(caps); }
};
using GstCapsRef = std::unique_ptr<GstCaps, GstCapsUnref>;

struct GstFactoryListFree {
    void operator()(GList* list) const noexcept { gst_plugin_feature_list_free(list); }
};
using GstFactoryList = std::unique_ptr<GList, GstFactoryListFree>;

struct GstIteratorFree {
    void operator()(GstIterator* iterator) const noexcept { gst_iterator_free(iterator); }
};
using GstIteratorRef = std::unique_ptr<GstIterator, GstIteratorFree>;

struct GErrorFree {
    void operator()(GError* error) const noexcept { g_error_free(error); }
};
using GErrorRef = std::unique_ptr<GError, GErrorFree>;

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using GCharRef = std::unique_ptr<gchar, GFree>;
