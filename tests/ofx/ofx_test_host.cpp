// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_test_host.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <type_traits>

// The SDK's own headers (this file is the host), in the order they need.
#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxPixels.h"
// clang-format off
#include "ofxhBinary.h"
#include "ofxhPropertySuite.h"
#include "ofxhClip.h"
#include "ofxhParam.h"
#include "ofxhMemory.h"
#include "ofxhImageEffect.h"
#include "ofxhPluginAPICache.h"
#include "ofxhPluginCache.h"
#include "ofxhHost.h"
#include "ofxhImageEffectAPI.h"
// clang-format on

namespace {

namespace ie = OFX::Host::ImageEffect;
namespace prm = OFX::Host::Param;
namespace prop = OFX::Host::Property;

std::string format_text(const char* format, va_list args) {
  char text[2048];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

const char* depth_name(int bits) {
  return bits == 8 ? kOfxBitDepthByte : bits == 16 ? kOfxBitDepthShort : kOfxBitDepthFloat;
}

// A value with keyframes: the key at or before a time, else the value.
template <class T>
struct Keyed {
  T value{};
  std::map<double, T> keys;
  T at(double time) const {
    if (keys.empty()) return value;
    auto it = keys.upper_bound(time);
    if (it == keys.begin()) return it->second;
    return std::prev(it)->second;
  }
};

// An integer, choice or double parameter: a value, keyed by time where set so.
template <class Base, class T>
class NumberParam : public Base {
 public:
  NumberParam(prm::Descriptor& d, prm::SetInstance* s) : Base(d, s) {
    if constexpr (std::is_same_v<T, double>) {
      v.value = this->getProperties().getDoubleProperty(kOfxParamPropDefault);
    } else {
      v.value = this->getProperties().getIntProperty(kOfxParamPropDefault);
    }
  }
  OfxStatus get(T& x) override {
    x = v.value;
    return kOfxStatOK;
  }
  OfxStatus get(OfxTime t, T& x) override {
    x = v.at(t);
    return kOfxStatOK;
  }
  OfxStatus set(T x) override {
    v.value = x;
    return kOfxStatOK;
  }
  OfxStatus set(OfxTime t, T x) override {
    v.keys[t] = x;
    return kOfxStatOK;
  }
  Keyed<T> v;
};

using IntParam = NumberParam<prm::IntegerInstance, int>;
using BoolParam = NumberParam<prm::BooleanInstance, bool>;
using ChoiceParam = NumberParam<prm::ChoiceInstance, int>;

class DoubleParam : public NumberParam<prm::DoubleInstance, double> {
 public:
  using NumberParam::NumberParam;
  OfxStatus derive(OfxTime, double& x) override {
    x = 0;
    return kOfxStatOK;
  }
  OfxStatus integrate(OfxTime t1, OfxTime t2, double& x) override {
    x = v.value * (t2 - t1);
    return kOfxStatOK;
  }
};

class StringParam : public prm::StringInstance {
 public:
  StringParam(prm::Descriptor& d, prm::SetInstance* s) : prm::StringInstance(d, s) {
    v.value = getProperties().getStringProperty(kOfxParamPropDefault);
  }
  OfxStatus get(std::string& x) override {
    x = v.value;
    return kOfxStatOK;
  }
  OfxStatus get(OfxTime t, std::string& x) override {
    x = v.at(t);
    return kOfxStatOK;
  }
  OfxStatus set(const char* x) override {
    v.value = x;
    return kOfxStatOK;
  }
  OfxStatus set(OfxTime t, const char* x) override {
    v.keys[t] = x;
    return kOfxStatOK;
  }
  Keyed<std::string> v;
};

}  // namespace

// ---- the host ------------------------------------------------------------------------------

struct TestHost::Impl : public ie::Host {
  TestFaults faults;
  unsigned threads = 1;
  std::vector<TestMessage> messages;
  std::mutex lock;
  std::atomic<unsigned> most{0};
  std::unique_ptr<ie::PluginCache> cache;

  Impl(const TestFaults& f, unsigned n);
  ~Impl() override;

  ie::Instance* newInstance(void* client, ie::ImageEffectPlugin* plugin, ie::Descriptor& desc,
                            const std::string& context) override;
  ie::Descriptor* makeDescriptor(ie::ImageEffectPlugin* plugin) override {
    return new ie::Descriptor(plugin);
  }
  ie::Descriptor* makeDescriptor(const ie::Descriptor& root,
                                 ie::ImageEffectPlugin* plugin) override {
    return new ie::Descriptor(root, plugin);
  }
  ie::Descriptor* makeDescriptor(const std::string& path, ie::ImageEffectPlugin* plugin) override {
    return new ie::Descriptor(path, plugin);
  }
  OfxStatus vmessage(const char* type, const char*, const char* format, va_list args) override {
    record(type, format_text(format, args));
    return kOfxStatOK;
  }
  OfxStatus setPersistentMessage(const char* type, const char* id, const char* format,
                                 va_list args) override {
    return vmessage(type, id, format, args);
  }
  OfxStatus clearPersistentMessage() override { return kOfxStatOK; }
  void record(const char* type, const std::string& text) {
    std::lock_guard<std::mutex> hold(lock);
    messages.push_back({type ? type : "", text});
  }

  const void* fetchSuite(const char* name, int version) override;

  // The multithread suite on real threads.
  OfxStatus multiThread(OfxThreadFunctionV1 func, unsigned int n, void* arg) override;
  OfxStatus multiThreadNumCPUS(unsigned int* n) const override {
    *n = threads;
    return kOfxStatOK;
  }
  OfxStatus multiThreadIndex(unsigned int* index) const override;
  int multiThreadIsSpawnedThread() const override;
  OfxStatus mutexCreate(OfxMutexHandle* mutex, int count) override {
    auto* m = new std::recursive_mutex;
    for (int i = 0; i < count; ++i) m->lock();
    *mutex = reinterpret_cast<OfxMutexHandle>(m);
    return kOfxStatOK;
  }
  OfxStatus mutexDestroy(const OfxMutexHandle mutex) override {
    delete reinterpret_cast<std::recursive_mutex*>(mutex);
    return kOfxStatOK;
  }
  OfxStatus mutexLock(const OfxMutexHandle mutex) override {
    reinterpret_cast<std::recursive_mutex*>(mutex)->lock();
    return kOfxStatOK;
  }
  OfxStatus mutexUnLock(const OfxMutexHandle mutex) override {
    reinterpret_cast<std::recursive_mutex*>(mutex)->unlock();
    return kOfxStatOK;
  }
  OfxStatus mutexTryLock(const OfxMutexHandle mutex) override {
    return reinterpret_cast<std::recursive_mutex*>(mutex)->try_lock() ? kOfxStatOK : kOfxStatFailed;
  }
};

namespace {

// The host whose suites are in use (tests make one at a time).
TestHost::Impl* g_host = nullptr;
thread_local int t_index = -1;

// The message suite: messages about an instance go to it, the others (at
// load, with no instance) to the host's log.
OfxStatus message(void* handle, const char* type, const char* id, const char* format, ...) {
  va_list args;
  va_start(args, format);
  OfxStatus status = kOfxStatOK;
  if (handle) {
    status = reinterpret_cast<ie::Instance*>(handle)->vmessage(type, id, format, args);
  } else if (g_host) {
    g_host->record(type, format_text(format, args));
  }
  va_end(args);
  return status;
}

OfxStatus persistent(void* handle, const char* type, const char* id, const char* format, ...) {
  va_list args;
  va_start(args, format);
  OfxStatus status = kOfxStatErrBadHandle;
  if (handle) status = reinterpret_cast<ie::Instance*>(handle)->vmessage(type, id, format, args);
  va_end(args);
  return status;
}

OfxStatus clear_persistent(void*) {
  return kOfxStatOK;
}

const OfxMessageSuiteV2 g_message_suite = {message, persistent, clear_persistent};

}  // namespace

TestHost::Impl::Impl(const TestFaults& f, unsigned n) : faults(f), threads(n ? n : 1) {
  g_host = this;
  _properties.setIntProperty(kOfxPropAPIVersion, 1, 0);
  _properties.setIntProperty(kOfxPropAPIVersion, 4, 1);
  _properties.setStringProperty(kOfxPropName, "org.zolta.testhost");
  _properties.setStringProperty(kOfxPropLabel, "zolta test host");
  _properties.setIntProperty(kOfxImageEffectHostPropIsBackground, 0);
  _properties.setIntProperty(kOfxImageEffectPropSupportsOverlays, 0);
  _properties.setIntProperty(kOfxImageEffectPropSupportsMultiResolution, 1);
  _properties.setIntProperty(kOfxImageEffectPropSupportsTiles, 1);
  _properties.setIntProperty(kOfxImageEffectPropTemporalClipAccess, 1);
  _properties.setStringProperty(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGBA, 0);
  _properties.setStringProperty(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGB, 1);
  _properties.setStringProperty(kOfxImageEffectPropSupportedComponents, kOfxImageComponentAlpha, 2);
  _properties.setStringProperty(kOfxImageEffectPropSupportedContexts, kOfxImageEffectContextFilter,
                                0);
  _properties.setStringProperty(kOfxImageEffectPropSupportedContexts, kOfxImageEffectContextGeneral,
                                1);
  _properties.setIntProperty(kOfxImageEffectPropSupportsMultipleClipDepths, 0);
  _properties.setIntProperty(kOfxImageEffectPropSupportsMultipleClipPARs, 0);
  _properties.setIntProperty(kOfxImageEffectPropSetableFrameRate, 0);
  _properties.setIntProperty(kOfxImageEffectPropSetableFielding, 0);
  _properties.setIntProperty(kOfxParamHostPropMaxParameters, -1);
  _properties.setIntProperty(kOfxParamHostPropMaxPages, 0);
}

TestHost::Impl::~Impl() {
  cache.reset();
  OFX::Host::PluginCache::clearPluginCache();
  g_host = nullptr;
}

const void* TestHost::Impl::fetchSuite(const char* name, int version) {
  if (faults.missing_suites.count(name)) return nullptr;
  if (std::strcmp(name, kOfxMessageSuite) == 0 && (version == 1 || version == 2))
    return &g_message_suite;
  return ie::Host::fetchSuite(name, version);
}

OfxStatus TestHost::Impl::multiThread(OfxThreadFunctionV1 func, unsigned int n, void* arg) {
  if (t_index >= 0) return kOfxStatErrExists;
  if (n == 0) n = 1;
  if (n > threads) n = threads;
  unsigned seen = most.load();
  while (n > seen && !most.compare_exchange_weak(seen, n)) {
  }
  std::vector<std::thread> workers;
  for (unsigned i = 1; i < n; ++i) {
    workers.emplace_back([=] {
      t_index = static_cast<int>(i);
      func(i, n, arg);
      t_index = -1;
    });
  }
  t_index = 0;
  func(0, n, arg);
  t_index = -1;
  for (std::thread& w : workers) w.join();
  return kOfxStatOK;
}

OfxStatus TestHost::Impl::multiThreadIndex(unsigned int* index) const {
  *index = t_index > 0 ? static_cast<unsigned>(t_index) : 0;
  return kOfxStatOK;
}

int TestHost::Impl::multiThreadIsSpawnedThread() const {
  return t_index > 0 ? 1 : 0;
}

// ---- images, clips and the effect instance -------------------------------------------------

namespace {

class TestImage : public ie::Image {
 public:
  TestImage(ie::ClipInstance& clip, std::shared_ptr<std::vector<uint8_t>> buffer,
            const OfxRectI& bounds, int row_bytes, double scale, const char* field,
            std::atomic<int>* held)
      : ie::Image(clip, scale, scale, nullptr, bounds, bounds, row_bytes, field, ""),
        bytes(std::move(buffer)),
        count(held) {
    if (count) ++*count;
  }
  ~TestImage() override {
    if (count) --*count;
  }
  std::shared_ptr<std::vector<uint8_t>> bytes;
  std::atomic<int>* count;
};

}  // namespace

struct TestEffect::Impl : public ie::Instance {
  TestHost::Impl* host;
  std::vector<TestPicture> frames;
  double first = 0;
  TestLayout source_layout, output_layout;
  double scale = 1;
  std::string field = kOfxImageFieldNone;
  OfxTime now = 0;
  std::vector<double> fetched;
  std::atomic<int> held{0};
  TestImage* output = nullptr;  // the last output image, kept by the host
  // The host's frames as it keeps them in memory, laid out for the effect
  // once (as an editor's frame cache holds them), by time; and the output's.
  std::map<double, std::shared_ptr<std::vector<uint8_t>>> prepared;
  std::shared_ptr<std::vector<uint8_t>> output_buffer;
  bool fill_output = false;  // a render of part of the picture: the rest shows the fill

  Impl(TestHost::Impl* h, ie::ImageEffectPlugin* plugin, ie::Descriptor& desc,
       const std::string& context)
      : ie::Instance(plugin, desc, context, false), host(h) {}
  ~Impl() override {
    if (output) output->releaseReference();
  }

  const TestPicture* picture() const { return frames.empty() ? nullptr : &frames[0]; }

  ie::ClipInstance* newClipInstance(ie::Instance* plugin, ie::ClipDescriptor* descriptor,
                                    int index) override;
  const std::string& getDefaultOutputFielding() const override {
    static const std::string none = kOfxImageFieldNone;
    return none;
  }
  OfxStatus vmessage(const char* type, const char*, const char* format, va_list args) override {
    host->record(type, format_text(format, args));
    return kOfxStatOK;
  }
  OfxStatus setPersistentMessage(const char* type, const char* id, const char* format,
                                 va_list args) override {
    return vmessage(type, id, format, args);
  }
  OfxStatus clearPersistentMessage() override { return kOfxStatOK; }
  void getProjectSize(double& x, double& y) const override {
    x = picture() ? picture()->width / scale : 0;
    y = picture() ? picture()->height / scale : 0;
  }
  void getProjectOffset(double& x, double& y) const override { x = y = 0; }
  void getProjectExtent(double& x, double& y) const override { getProjectSize(x, y); }
  double getProjectPixelAspectRatio() const override { return 1; }
  double getEffectDuration() const override { return static_cast<double>(frames.size()); }
  double getFrameRate() const override { return 25; }
  double getFrameRecursive() const override { return now; }
  void getRenderScaleRecursive(double& x, double& y) const override { x = y = scale; }
  prm::Instance* newParam(const std::string&, prm::Descriptor& d) override {
    const std::string& type = d.getType();
    if (type == kOfxParamTypeInteger) return new IntParam(d, this);
    if (type == kOfxParamTypeDouble) return new DoubleParam(d, this);
    if (type == kOfxParamTypeChoice) return new ChoiceParam(d, this);
    if (type == kOfxParamTypeString) return new StringParam(d, this);
    if (type == kOfxParamTypeBoolean) return new BoolParam(d, this);
    if (type == kOfxParamTypeGroup) return new prm::GroupInstance(d, this);
    if (type == kOfxParamTypePage) return new prm::PageInstance(d, this);
    return nullptr;
  }
  OfxStatus editBegin(const std::string&) override { return kOfxStatOK; }
  OfxStatus editEnd() override { return kOfxStatOK; }
  void progressStart(const std::string&, const std::string&) override {}
  void progressEnd() override {}
  bool progressUpdate(double) override { return true; }
  double timeLineGetTime() override { return now; }
  void timeLineGotoTime(double t) override { now = t; }
  void timeLineGetBounds(double& t1, double& t2) override {
    t1 = first;
    t2 = first + static_cast<double>(frames.size()) - 1;
  }
  void setCustomInArgs(const std::string& action, prop::Set& args) override {
    if (action == kOfxImageEffectActionRender && host->faults.window_as_double)
      args.addProperty(new prop::Double(kOfxImageEffectPropRenderWindow, 4, true, 0));
  }

  // A picture of the clip (or a fresh output) laid out for the effect.
  TestImage* image(ie::ClipInstance& clip, OfxTime time, bool is_output);
};

namespace {

class TestClip : public ie::ClipInstance {
 public:
  TestClip(TestEffect::Impl* effect, ie::ClipDescriptor& desc)
      : ie::ClipInstance(effect, desc), effect_(effect) {}

  const std::string& getUnmappedBitDepth() const override {
    static const std::string depths[3] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};
    const TestPicture* p = effect_->picture();
    return depths[!p || p->bits == 8 ? 0 : p->bits == 16 ? 1 : 2];
  }
  const std::string& getUnmappedComponents() const override {
    static const std::string rgba = kOfxImageComponentRGBA, rgb = kOfxImageComponentRGB;
    const TestPicture* p = effect_->picture();
    return p && p->components == 3 ? rgb : rgba;
  }
  const std::string& getPremult() const override {
    static const std::string premult = kOfxImageUnPreMultiplied;
    return premult;
  }
  double getAspectRatio() const override { return 1; }
  double getFrameRate() const override { return 25; }
  void getFrameRange(double& a, double& b) const override {
    a = effect_->first;
    b = effect_->first + static_cast<double>(effect_->frames.size()) - 1;
  }
  const std::string& getFieldOrder() const override {
    static const std::string none = kOfxImageFieldNone;
    return none;
  }
  bool getConnected() const override { return true; }
  double getUnmappedFrameRate() const override { return 25; }
  void getUnmappedFrameRange(double& a, double& b) const override { getFrameRange(a, b); }
  bool getContinuousSamples() const override { return false; }
  ie::Image* getImage(OfxTime time, const OfxRectD*) override {
    return effect_->image(*this, time, getName() == kOfxImageEffectOutputClipName);
  }
  OfxRectD getRegionOfDefinition(OfxTime) const override {
    double w = 0, h = 0;
    effect_->getProjectSize(w, h);
    return OfxRectD{effect_->source_layout.x1 / effect_->scale,
                    effect_->source_layout.y1 / effect_->scale,
                    effect_->source_layout.x1 / effect_->scale + w,
                    effect_->source_layout.y1 / effect_->scale + h};
  }

 private:
  TestEffect::Impl* effect_;
};

}  // namespace

ie::ClipInstance* TestEffect::Impl::newClipInstance(ie::Instance*, ie::ClipDescriptor* descriptor,
                                                    int) {
  return new TestClip(this, *descriptor);
}

TestImage* TestEffect::Impl::image(ie::ClipInstance& clip, OfxTime time, bool is_output) {
  const TestFaults& faults = host->faults;
  if (!is_output) {
    fetched.push_back(time);
    if (faults.no_source_image && time == now) return nullptr;
    if (faults.no_neighbours && time != now) return nullptr;
  }
  const double index = time - first;
  const TestPicture* p = picture();
  if (!p || index < 0 || index > static_cast<double>(frames.size()) - 1 ||
      index != static_cast<double>(static_cast<long>(index)))
    return nullptr;
  const TestPicture& picture = frames[static_cast<size_t>(index)];
  const TestLayout& layout = is_output ? output_layout : source_layout;
  const size_t row = picture.row_bytes();
  const size_t stride = row + static_cast<size_t>(layout.padding);
  const size_t size = stride * static_cast<size_t>(picture.height) + 16;
  std::shared_ptr<std::vector<uint8_t>>& buffer = is_output ? output_buffer : prepared[time];
  const bool fresh = !buffer || buffer->size() != size;
  if (fresh) buffer = std::make_shared<std::vector<uint8_t>>(size, 0xA5);
  // 16-byte aligned rows' start.
  uint8_t* base = buffer->data();
  base += (16 - reinterpret_cast<uintptr_t>(base) % 16) % 16;
  if (is_output) {
    // What the effect does not write keeps the host's fill.
    if (fill_output && !fresh)
      std::memset(base, 0xA5, size - static_cast<size_t>(base - buffer->data()));
  } else if (fresh) {
    for (int y = 0; y < picture.height; ++y) {
      // Row y from the top lies at y (top-down) or height - 1 - y (bottom-up).
      const int at = layout.top_down ? y : picture.height - 1 - y;
      std::memcpy(base + static_cast<size_t>(at) * stride, picture.bytes.data() + row * y, row);
    }
  }
  uint8_t* data = layout.top_down ? base + stride * static_cast<size_t>(picture.height - 1) : base;
  const int row_bytes = layout.top_down ? -static_cast<int>(stride) : static_cast<int>(stride);
  const OfxRectI bounds = {layout.x1, layout.y1, layout.x1 + picture.width,
                           layout.y1 + picture.height};
  TestImage* image = new TestImage(clip, buffer, bounds, row_bytes, scale, field.c_str(),
                                   is_output ? nullptr : &held);
  image->setPointerProperty(kOfxImagePropData, faults.null_data && !is_output ? nullptr : data);
  if (!is_output) {
    if (!faults.image_depth.empty())
      image->setStringProperty(kOfxImageEffectPropPixelDepth, faults.image_depth);
    if (faults.row_bytes_as_double)
      image->addProperty(new prop::Double(kOfxImagePropRowBytes, 1, true, 0));
  } else {
    if (faults.output_depth_differs)
      image->setStringProperty(kOfxImageEffectPropPixelDepth,
                               depth_name(picture.bits == 8 ? 16 : 8));
    if (output) output->releaseReference();
    output = image;
    image->addReference();
  }
  return image;
}

ie::Instance* TestHost::Impl::newInstance(void*, ie::ImageEffectPlugin* plugin,
                                          ie::Descriptor& desc, const std::string& context) {
  return new TestEffect::Impl(this, plugin, desc, context);
}

// ---- the test's view ------------------------------------------------------------------------

TestHost::TestHost(const TestFaults& faults, unsigned threads)
    : impl_(new Impl(faults, threads ? threads : std::thread::hardware_concurrency())) {}

TestHost::~TestHost() = default;

namespace {

ie::ImageEffectPlugin* find_plugin(TestHost::Impl& host, const std::string& id) {
  if (!host.cache) {
    OFX::Host::PluginCache::getPluginCache()->setCacheVersion("zoltaTestHost");
    host.cache.reset(new ie::PluginCache(host));
    host.cache->registerInCache(*OFX::Host::PluginCache::getPluginCache());
    OFX::Host::PluginCache::getPluginCache()->scanPluginFiles();
  }
  return host.cache->getPluginById(id);
}

}  // namespace

std::string TestHost::bundle_path(const std::string& plugin_id) {
  ie::ImageEffectPlugin* plugin = find_plugin(*impl_, plugin_id);
  return plugin ? plugin->getBinary()->getBundlePath() : std::string();
}

std::unique_ptr<TestEffect> TestHost::create(const std::string& plugin_id) {
  ie::ImageEffectPlugin* plugin = find_plugin(*impl_, plugin_id);
  // A plugin whose load failed has no handle: HostSupport would go on with
  // none, so the host stops here.
  if (!plugin || !plugin->getPluginHandle()) return nullptr;
  ie::Instance* made = plugin->createInstance(kOfxImageEffectContextFilter, nullptr);
  if (!made) return nullptr;
  std::unique_ptr<TestEffect> effect(new TestEffect(static_cast<TestEffect::Impl*>(made)));
  const OfxStatus status = made->createInstanceAction();
  if (status != kOfxStatOK && status != kOfxStatReplyDefault) return nullptr;
  return effect;
}

const std::vector<TestMessage>& TestHost::messages() const {
  return impl_->messages;
}

unsigned TestHost::most_threads() const {
  return impl_->most.load();
}

TestEffect::TestEffect(Impl* impl) : impl_(impl) {}
TestEffect::~TestEffect() = default;

void TestEffect::set_clip(std::vector<TestPicture> frames, double first) {
  impl_->frames = std::move(frames);
  impl_->first = first;
  impl_->prepared.clear();
  impl_->getClipPreferences();
}

void TestEffect::set_layout(const TestLayout& source, const TestLayout& output) {
  impl_->source_layout = source;
  impl_->output_layout = output;
  impl_->prepared.clear();
}

namespace {
template <class P>
P* param_of(ie::Instance& effect, const std::string& name) {
  return dynamic_cast<P*>(effect.getParam(name));
}
}  // namespace

bool TestEffect::set_int(const std::string& name, int value) {
  if (auto* p = param_of<IntParam>(*impl_, name)) return p->set(value) == kOfxStatOK;
  if (auto* p = param_of<ChoiceParam>(*impl_, name)) return p->set(value) == kOfxStatOK;
  return false;
}

bool TestEffect::set_double(const std::string& name, double value) {
  auto* p = param_of<DoubleParam>(*impl_, name);
  return p && p->set(value) == kOfxStatOK;
}

bool TestEffect::set_double_at(const std::string& name, double time, double value) {
  auto* p = param_of<DoubleParam>(*impl_, name);
  return p && p->set(time, value) == kOfxStatOK;
}

bool TestEffect::set_string(const std::string& name, const std::string& value) {
  auto* p = param_of<StringParam>(*impl_, name);
  return p && p->set(value.c_str()) == kOfxStatOK;
}

bool TestEffect::set_bool(const std::string& name, bool value) {
  auto* p = param_of<BoolParam>(*impl_, name);
  return p && p->set(value) == kOfxStatOK;
}

std::vector<std::string> TestEffect::param_names() const {
  std::vector<std::string> names;
  for (prm::Instance* p : impl_->getParamList()) names.push_back(p->getName());
  return names;
}

int TestEffect::frames_needed(double time, double range[2]) {
  ie::RangeMap ranges;
  const OfxStatus status = impl_->getFrameNeededAction(time, ranges);
  range[0] = range[1] = time;
  for (auto& entry : ranges) {
    if (entry.first->getName() != kOfxImageEffectSimpleSourceClipName) continue;
    if (entry.second.empty()) continue;
    range[0] = entry.second.front().min;
    range[1] = entry.second.back().max;
  }
  return status;
}

std::vector<double> TestEffect::frames_needed_ranges(double time) {
  ie::RangeMap ranges;
  std::vector<double> pairs;
  if (impl_->getFrameNeededAction(time, ranges) != kOfxStatOK) return pairs;
  for (auto& entry : ranges) {
    if (entry.first->getName() != kOfxImageEffectSimpleSourceClipName) continue;
    for (const OfxRangeD& r : entry.second) {
      pairs.push_back(r.min);
      pairs.push_back(r.max);
    }
  }
  return pairs;
}

namespace {

void copy_output(const TestEffect::Impl& effect, const TestPicture& like, TestPicture* out) {
  *out = like;
  const TestImage* image = effect.output;
  if (!image) return;
  const OfxRectI b = image->getBounds();
  const int row_bytes = image->getIntProperty(kOfxImagePropRowBytes);
  const auto* data = static_cast<const uint8_t*>(image->getPointerProperty(kOfxImagePropData));
  const size_t row = like.row_bytes();
  for (int y = 0; y < like.height && y < b.y2 - b.y1; ++y) {
    // Row y from the top is image row height - 1 - y from the bounds' bottom.
    const uint8_t* from = data + static_cast<ptrdiff_t>(like.height - 1 - y) * row_bytes;
    std::memcpy(out->bytes.data() + row * y, from, row);
  }
}

}  // namespace

int TestEffect::render(double time, TestPicture* output, const int* window, double scale,
                       const char* field) {
  Impl& e = *impl_;
  const TestPicture* p = e.picture();
  if (!p) return kOfxStatFailed;
  e.scale = scale;
  e.field = field;
  e.now = time;
  const OfxPointD render_scale = {scale, scale};
  OfxRectI w = {e.output_layout.x1, e.output_layout.y1, e.output_layout.x1 + p->width,
                e.output_layout.y1 + p->height};
  if (window) w = {window[0] + w.x1, window[1] + w.y1, window[2] + w.x1, window[3] + w.y1};
  e.fill_output = window != nullptr;
  OfxStatus status = e.beginRenderAction(time, time, 1, false, render_scale, false, false);
  if (status != kOfxStatOK && status != kOfxStatReplyDefault) return status;
  status = e.renderAction(time, field, w, render_scale, false, false, false);
  e.endRenderAction(time, time, 1, false, render_scale, false, false);
  if (output) copy_output(e, e.frames[static_cast<size_t>(time - e.first)], output);
  return status;
}

int TestEffect::render_pass(int first, int last, std::vector<TestPicture>* outputs) {
  Impl& e = *impl_;
  const TestPicture* p = e.picture();
  if (!p) return kOfxStatFailed;
  e.scale = 1;
  e.field = kOfxImageFieldNone;
  const OfxPointD scale = {1, 1};
  const OfxRectI w = {e.output_layout.x1, e.output_layout.y1, e.output_layout.x1 + p->width,
                      e.output_layout.y1 + p->height};
  OfxStatus status = e.beginRenderAction(first, last, 1, false, scale, true, false);
  if (status != kOfxStatOK && status != kOfxStatReplyDefault) return status;
  status = kOfxStatOK;
  for (int t = first; t <= last && status == kOfxStatOK; ++t) {
    e.now = t;
    status = e.renderAction(t, kOfxImageFieldNone, w, scale, true, false, false);
    if (outputs) {
      outputs->emplace_back();
      copy_output(e, e.frames[static_cast<size_t>(t - e.first)], &outputs->back());
    }
  }
  e.endRenderAction(first, last, 1, false, scale, true, false);
  return status;
}

const std::vector<double>& TestEffect::fetched_times() const {
  return impl_->fetched;
}

int TestEffect::images_held() const {
  return impl_->held.load();
}
