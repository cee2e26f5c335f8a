#include "platform/gstmedia.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstring>
#include <mutex>

namespace {

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

GstElement* Pipe(void* P) { return static_cast<GstElement*>(P); }

String ErrorText(GstMessage* M) {
  GError* err = nullptr;
  gchar* debug = nullptr;
  if (GST_MESSAGE_TYPE(M) == GST_MESSAGE_ERROR)
    gst_message_parse_error(M, &err, &debug);
  else
    gst_message_parse_warning(M, &err, &debug);
  String t = err ? err->message : "unknown failure";
  if (debug) t += String(" (") + debug + ")";
  if (err) g_error_free(err);
  g_free(debug);
  return t;
}

constexpr GstClockTime Ms(Integer T) { return GstClockTime(T < 0 ? 0 : T) * GST_MSECOND; }

}  // namespace

TGstPipeline::TGstPipeline(const String& Description) {
  InitOnce();
  GError* err = nullptr;
  GstElement* p = gst_parse_launch(Description.c_str(), &err);
  if (err) {
    FError = err->message;
    g_error_free(err);
    if (p) gst_object_unref(p);
    return;
  }
  FPipeline = p;
}

TGstPipeline::~TGstPipeline() {
  if (!FPipeline) return;
  gst_element_set_state(Pipe(FPipeline), GST_STATE_NULL);
  gst_object_unref(Pipe(FPipeline));
}

bool TGstPipeline::Valid() const { return FPipeline != nullptr; }

bool TGstPipeline::SetProperty(const String& Element, const String& Property, const String& Value) {
  if (!FPipeline || !GST_IS_BIN(Pipe(FPipeline))) return false;
  GstElement* e = gst_bin_get_by_name(GST_BIN(Pipe(FPipeline)), Element.c_str());
  if (!e) return false;
  g_object_set(G_OBJECT(e), Property.c_str(), Value.c_str(), nullptr);
  gst_object_unref(e);
  return true;
}

namespace {

// Sets State and waits for it; on failure the bus's error is the reason.
bool ChangeState(GstElement* P, GstState State, Integer TimeoutMs, String& Error) {
  GstStateChangeReturn r = gst_element_set_state(P, State);
  if (r == GST_STATE_CHANGE_ASYNC) r = gst_element_get_state(P, nullptr, nullptr, Ms(TimeoutMs));
  if (r == GST_STATE_CHANGE_SUCCESS || r == GST_STATE_CHANGE_NO_PREROLL) return true;
  Error = r == GST_STATE_CHANGE_ASYNC ? "the pipeline did not settle in time" : "the pipeline failed";
  GstBus* bus = gst_element_get_bus(P);
  while (GstMessage* m = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_ERROR))) {
    Error = ErrorText(m);
    gst_message_unref(m);
  }
  gst_object_unref(bus);
  return false;
}

}  // namespace

bool TGstPipeline::Pause(Integer TimeoutMs) {
  return FPipeline && ChangeState(Pipe(FPipeline), GST_STATE_PAUSED, TimeoutMs, FError);
}

bool TGstPipeline::Play(Integer TimeoutMs) {
  return FPipeline && ChangeState(Pipe(FPipeline), GST_STATE_PLAYING, TimeoutMs, FError);
}

void TGstPipeline::Stop() {
  if (FPipeline) gst_element_set_state(Pipe(FPipeline), GST_STATE_NULL);
}

Int64 TGstPipeline::DurationNs() {
  gint64 d = -1;
  if (!FPipeline || !gst_element_query_duration(Pipe(FPipeline), GST_FORMAT_TIME, &d)) return -1;
  return d;
}

Int64 TGstPipeline::DurationFrames() {
  gint64 d = -1;
  if (!FPipeline || !gst_element_query_duration(Pipe(FPipeline), GST_FORMAT_DEFAULT, &d)) return -1;
  return d;
}

bool TGstPipeline::SeekNs(Int64 Ns, Integer TimeoutMs) {
  if (!FPipeline || Ns < 0) return false;
  if (!gst_element_seek_simple(Pipe(FPipeline), GST_FORMAT_TIME,
                               GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), Ns))
    return false;
  return gst_element_get_state(Pipe(FPipeline), nullptr, nullptr, Ms(TimeoutMs)) != GST_STATE_CHANGE_FAILURE;
}

TGstMessage TGstPipeline::PopMessage(Integer TimeoutMs) {
  TGstMessage out;
  if (!FPipeline) return out;
  GstBus* bus = gst_element_get_bus(Pipe(FPipeline));
  GstMessage* m = gst_bus_timed_pop(bus, Ms(TimeoutMs));
  gst_object_unref(bus);
  if (!m) return out;
  switch (GST_MESSAGE_TYPE(m)) {
    case GST_MESSAGE_EOS: out.Kind = TGstMessage::EndOfStream; break;
    case GST_MESSAGE_ERROR: out.Kind = TGstMessage::Error, out.Text = ErrorText(m); break;
    case GST_MESSAGE_WARNING: out.Kind = TGstMessage::Warning, out.Text = ErrorText(m); break;
    case GST_MESSAGE_STATE_CHANGED: out.Kind = TGstMessage::StateChanged; break;
    default: out.Kind = TGstMessage::Other; break;
  }
  gst_message_unref(m);
  return out;
}

namespace {

GstAppSink* SinkOf(void* P, const String& Name) {
  if (!P || !GST_IS_BIN(Pipe(P))) return nullptr;
  GstElement* e = gst_bin_get_by_name(GST_BIN(Pipe(P)), Name.c_str());
  if (!e) return nullptr;
  if (!GST_IS_APP_SINK(e)) {
    gst_object_unref(e);
    return nullptr;
  }
  return GST_APP_SINK(e);
}

}  // namespace

namespace {

// The 24-bit frame of a sample, rows padded to four bytes; false when the
// sample holds no such frame or less data than its caps promise.
bool SampleToFrame(GstSample* s, TGstFrame& Frame) {
  bool ok = false;
  GstVideoInfo info;
  GstBuffer* buf = gst_sample_get_buffer(s);
  GstCaps* caps = gst_sample_get_caps(s);
  GstMapInfo map;
  if (buf && caps && gst_video_info_from_caps(&info, caps) && GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGR &&
      gst_buffer_map(buf, &map, GST_MAP_READ)) {
    const Integer w = GST_VIDEO_INFO_WIDTH(&info), h = GST_VIDEO_INFO_HEIGHT(&info);
    const Integer srcStride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    const Int64 offset = Int64(GST_VIDEO_INFO_PLANE_OFFSET(&info, 0));
    const Integer stride = (w * 3 + 3) & ~3;
    if (w > 0 && h > 0 && srcStride >= w * 3 && offset + Int64(srcStride) * (h - 1) + w * 3 <= Int64(map.size)) {
      Frame.Width = w;
      Frame.Height = h;
      Frame.Stride = stride;
      Frame.Pixels.assign(size_t(stride) * size_t(h), 0);
      for (Integer y = 0; y < h; ++y)
        std::memcpy(Frame.Pixels.data() + size_t(y) * size_t(stride), map.data + offset + Int64(y) * srcStride,
                    size_t(w) * 3);
      Frame.Position = GST_BUFFER_PTS_IS_VALID(buf) ? Int64(GST_BUFFER_PTS(buf)) : -1;
      ok = true;
    }
    gst_buffer_unmap(buf, &map);
  }
  return ok;
}

}  // namespace

bool TGstPipeline::PullFrame(const String& Sink, TGstFrame& Frame, bool Preroll, Integer TimeoutMs) {
  GstAppSink* sink = SinkOf(FPipeline, Sink);
  if (!sink) return false;
  GstSample* s = Preroll ? gst_app_sink_try_pull_preroll(sink, Ms(TimeoutMs))
                         : gst_app_sink_try_pull_sample(sink, Ms(TimeoutMs));
  gst_object_unref(sink);
  if (!s) return false;
  const bool ok = SampleToFrame(s, Frame);
  gst_sample_unref(s);
  return ok;
}

bool TGstPipeline::FrameRate(const String& Sink, Integer& Num, Integer& Den) {
  GstAppSink* sink = SinkOf(FPipeline, Sink);
  if (!sink) return false;
  GstPad* pad = gst_element_get_static_pad(GST_ELEMENT(sink), "sink");
  gst_object_unref(sink);
  if (!pad) return false;
  GstCaps* caps = gst_pad_get_current_caps(pad);
  gst_object_unref(pad);
  if (!caps) return false;
  gint n = 0, d = 0;
  const bool ok = gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &n, &d) && n > 0 && d > 0;
  gst_caps_unref(caps);
  Num = n;
  Den = d;
  return ok;
}

// ---------------------------------------------------------------------------

TGstMediaFile::TGstMediaFile() = default;
TGstMediaFile::~TGstMediaFile() = default;

void TGstMediaFile::Close() {
  FPipeline.reset();
  FWidth = FHeight = 0;
  FDuration = FFrameNs = FFrames = 0;
}

bool TGstMediaFile::Open(const String& FileName) {
  Close();
  FError.clear();
  InitOnce();
  GError* err = nullptr;
  gchar* uri = gst_filename_to_uri(FileName.c_str(), &err);
  if (!uri) {
    FError = err ? err->message : "no such file";
    if (err) g_error_free(err);
    return false;
  }
  auto p = std::make_unique<TGstPipeline>(
      "uridecodebin name=src ! videoconvert ! video/x-raw,format=BGR ! appsink name=sink sync=false");
  const bool set = p->Valid() && p->SetProperty("src", "uri", uri);
  g_free(uri);
  if (!set) {
    FError = p->Valid() ? "the decoder cannot be made" : p->Error();
    return false;
  }
  TGstFrame first;
  if (!p->Pause(10000) || !p->PullFrame("sink", first, true, 10000)) {
    FError = p->Error().empty() ? "no video frames" : p->Error();
    return false;
  }
  FWidth = first.Width;
  FHeight = first.Height;
  FDuration = std::max<Int64>(0, p->DurationNs());
  Integer num = 0, den = 0;
  if (p->FrameRate("sink", num, den)) FFrameNs = Int64(den) * 1000000000 / num;
  // Elements answer a count in frames by converting the duration with
  // truncation, which loses the last frame of a file whose duration is
  // stored in milliseconds: the duration over the frame length, rounded,
  // goes first.
  if (FFrameNs > 0)
    FFrames = (FDuration + FFrameNs / 2) / FFrameNs;
  else
    FFrames = std::max<Int64>(0, p->DurationFrames());
  FPipeline = std::move(p);
  return true;
}

bool TGstMediaFile::FrameAt(Int64 Ns, TGstFrame& Frame) {
  if (!FPipeline || !FPipeline->SeekNs(Ns, 10000)) return false;
  return FPipeline->PullFrame("sink", Frame, true, 10000);
}

// ---------------------------------------------------------------------------
// Control of a running pipeline

bool TGstPipeline::PauseAsync() {
  return FPipeline && gst_element_set_state(Pipe(FPipeline), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

bool TGstPipeline::PlayAsync() {
  return FPipeline && gst_element_set_state(Pipe(FPipeline), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void TGstPipeline::Ready() {
  if (FPipeline) gst_element_set_state(Pipe(FPipeline), GST_STATE_READY);
}

Integer TGstPipeline::State(Integer TimeoutMs) {
  if (!FPipeline) return 0;
  GstState Now = GST_STATE_NULL, Pending = GST_STATE_NULL;
  gst_element_get_state(Pipe(FPipeline), &Now, &Pending, Ms(TimeoutMs));
  return Now == GST_STATE_PLAYING ? 2 : Now == GST_STATE_PAUSED ? 1 : 0;
}

Int64 TGstPipeline::PositionNs() {
  gint64 p = -1;
  if (!FPipeline || !gst_element_query_position(Pipe(FPipeline), GST_FORMAT_TIME, &p)) return -1;
  return p;
}

Int64 TGstPipeline::PositionFrames() {
  gint64 p = -1;
  if (!FPipeline || !gst_element_query_position(Pipe(FPipeline), GST_FORMAT_DEFAULT, &p)) return -1;
  return p;
}

bool TGstPipeline::SeekFrames(Int64 Frame, Integer TimeoutMs) {
  if (!FPipeline || Frame < 0) return false;
  if (!gst_element_seek_simple(Pipe(FPipeline), GST_FORMAT_DEFAULT,
                               GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), Frame))
    return false;
  return gst_element_get_state(Pipe(FPipeline), nullptr, nullptr, Ms(TimeoutMs)) != GST_STATE_CHANGE_FAILURE;
}

bool TGstPipeline::SetRate(double Rate, Int64 PositionNs) {
  if (!FPipeline || !(Rate > 0)) return false;
  return gst_element_seek(Pipe(FPipeline), Rate, GST_FORMAT_TIME,
                          GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                          std::max<Int64>(0, PositionNs), GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
}

bool TGstPipeline::Step(Int64 Frames) {
  if (!FPipeline || Frames <= 0) return false;
  return gst_element_send_event(Pipe(FPipeline),
                                gst_event_new_step(GST_FORMAT_BUFFERS, guint64(Frames), 1.0, TRUE, FALSE));
}

bool TGstPipeline::EndStream(Integer TimeoutMs) {
  if (!FPipeline) return false;
  gst_element_send_event(Pipe(FPipeline), gst_event_new_eos());
  GstBus* bus = gst_element_get_bus(Pipe(FPipeline));
  GstMessage* m = gst_bus_timed_pop_filtered(bus, Ms(TimeoutMs), GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  gst_object_unref(bus);
  const bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
  if (m) gst_message_unref(m);
  return ok;
}

namespace {

GstFlowReturn NewSample(GstAppSink* Sink, gpointer Data) {
  // The sample is taken at once, so that the sink never holds back the
  // stream (it passes the end of the stream on only once it is empty).
  auto* H = static_cast<TGstFrameHolder*>(Data);
  if (GstSample* s = gst_app_sink_pull_sample(Sink)) {
    // Copied out at once: the sink reuses its sample objects.
    TGstFrame F;
    const bool ok = SampleToFrame(s, F);
    gst_sample_unref(s);
    if (ok) {
      std::lock_guard<std::mutex> L(H->Lock);
      H->Latest = std::move(F);
      H->HasLatest = true;
    }
  }
  H->Proc();
  return GST_FLOW_OK;
}

GstBusSyncReply BusSync(GstBus*, GstMessage* M, gpointer Data) {
  TGstMessage out;
  switch (GST_MESSAGE_TYPE(M)) {
    case GST_MESSAGE_EOS: out.Kind = TGstMessage::EndOfStream; break;
    case GST_MESSAGE_ERROR: out.Kind = TGstMessage::Error, out.Text = ErrorText(M); break;
    case GST_MESSAGE_WARNING: out.Kind = TGstMessage::Warning, out.Text = ErrorText(M); break;
    case GST_MESSAGE_STATE_CHANGED: out.Kind = TGstMessage::StateChanged; break;
    default: out.Kind = TGstMessage::Other; break;
  }
  (*static_cast<std::function<void(const TGstMessage&)>*>(Data))(out);
  return GST_BUS_PASS;
}

}  // namespace

bool TGstPipeline::OnNewFrame(const String& Sink, std::function<void()> Proc) {
  GstAppSink* sink = SinkOf(FPipeline, Sink);
  if (!sink) return false;
  gst_app_sink_set_max_buffers(sink, 1);
  gst_app_sink_set_drop(sink, TRUE);
  auto Held = std::make_shared<TGstFrameHolder>();
  Held->Sink = Sink;
  Held->Proc = std::move(Proc);
  GstAppSinkCallbacks cb{};
  cb.new_sample = NewSample;
  gst_app_sink_set_callbacks(sink, &cb, Held.get(), nullptr);
  gst_object_unref(sink);
  // Kept until the pipeline goes (its destructor stops the streaming first).
  FFrameProcs.push_back(std::move(Held));
  return true;
}

bool TGstPipeline::LatestFrame(const String& Sink, TGstFrame& Frame) {
  for (auto& H : FFrameProcs) {
    if (H->Sink != Sink) continue;
    std::lock_guard<std::mutex> L(H->Lock);
    if (!H->HasLatest) return false;
    Frame = H->Latest;
    return true;
  }
  return false;
}

void TGstPipeline::OnBusMessage(std::function<void(const TGstMessage&)> Proc) {
  if (!FPipeline) return;
  FBusProc = std::make_shared<std::function<void(const TGstMessage&)>>(std::move(Proc));
  GstBus* bus = gst_element_get_bus(Pipe(FPipeline));
  gst_bus_set_sync_handler(bus, BusSync, FBusProc.get(), nullptr);
  gst_object_unref(bus);
}

std::vector<TGstDevice> GstListDevices(const String& Class) {
  InitOnce();
  std::vector<TGstDevice> Out;
  GstDeviceMonitor* mon = gst_device_monitor_new();
  gst_device_monitor_add_filter(mon, Class.c_str(), nullptr);
  if (gst_device_monitor_start(mon)) {
    GList* list = gst_device_monitor_get_devices(mon);
    for (GList* l = list; l; l = l->next) {
      GstDevice* d = GST_DEVICE(l->data);
      TGstDevice dev;
      gchar* name = gst_device_get_display_name(d);
      dev.Name = name ? name : "";
      g_free(name);
      // The device's own element, described so that it can stand in a
      // pipeline description.
      if (GstElement* e = gst_device_create_element(d, nullptr)) {
        GstElementFactory* f = gst_element_get_factory(e);
        dev.Launch = f ? GST_OBJECT_NAME(f) : "";
        if (GstStructure* props = gst_device_get_properties(d)) {
          if (const gchar* path = gst_structure_get_string(props, "device.path"))
            dev.Launch += String(" device=\"") + path + "\"";
          gst_structure_free(props);
        }
        gst_object_unref(e);
      }
      if (!dev.Launch.empty()) Out.push_back(dev);
    }
    g_list_free_full(list, gst_object_unref);
    gst_device_monitor_stop(mon);
  }
  gst_object_unref(mon);
  return Out;
}

std::vector<std::pair<String, String>> GstListElements(const String& Klass) {
  InitOnce();
  std::vector<std::pair<String, String>> Out;
  GList* list = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_ANY, GST_RANK_NONE);
  for (GList* l = list; l; l = l->next) {
    GstElementFactory* f = GST_ELEMENT_FACTORY(l->data);
    const gchar* k = gst_element_factory_get_metadata(f, GST_ELEMENT_METADATA_KLASS);
    if (!k) continue;
    const String Have = k;
    bool all = true;
    size_t at = 0;
    while (at <= Klass.size()) {
      const size_t slash = Klass.find('/', at);
      const String word = Klass.substr(at, slash == String::npos ? String::npos : slash - at);
      if (!word.empty() && Have.find(word) == String::npos) all = false;
      if (slash == String::npos) break;
      at = slash + 1;
    }
    if (!all) continue;
    const gchar* lname = gst_element_factory_get_metadata(f, GST_ELEMENT_METADATA_LONGNAME);
    Out.emplace_back(lname ? lname : GST_OBJECT_NAME(f), GST_OBJECT_NAME(f));
  }
  gst_plugin_feature_list_free(list);
  std::sort(Out.begin(), Out.end());
  return Out;
}
