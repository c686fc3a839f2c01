#include "toll/toll.h"

#include <system_error>

#include "common/allocation_guard.h"
#include "plat/path.h"
#include "toll/toll_control.h"
#include "toll/toll_instance.h"

namespace {

std::thread StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

std::atomic<TollThreadStarter> g_threadStarter{&StartThread};

constexpr int kCannotStart = -1;
constexpr int kBusy = -2;

using Prof = TollResultRaw::Prof;

void SetFees(Prof& p, int32_t fee1, int32_t fee2, int32_t fee3) {
  p.fee1 = fee1;
  p.fee2 = fee2;
  p.fee3 = fee3;
}

// A section's discounts go to a profile's lists; 0 means "no discount" and
// is not listed.
void AppendDiscounts(Prof& p, const TollSection& s) {
  if (s.discount2 != 0) p.discounts2.push_back(s.discount2);
  if (s.discount3 != 0) p.discounts3.push_back(s.discount3);
}

// The section gives its three fees and its discounts.
void Contribute(Prof& p, const TollSection& s) {
  SetFees(p, s.fee1, s.fee2, s.fee3);
  AppendDiscounts(p, s);
}

// Adds a section's fees to an earlier profile (a fee of -1 is replaced).
void AddToEarlier(Prof& p, const TollSection& s) {
  const auto add = [](int32_t fee, int32_t more) { return fee == -1 ? more : fee + more; };
  SetFees(p, add(p.fee1, s.fee1), add(p.fee2, s.fee2), add(p.fee3, s.fee3));
  AppendDiscounts(p, s);
}

}  // namespace

void setTollThreadStarter(TollThreadStarter starter) {
  g_threadStarter.store(starter ? starter : &StartThread);
}

// ---------------------------------------------------------------------------
// TollInstance

TollInstance::TollInstance() : window_(std::make_unique<DelayCall>()) {
  // A window that cannot be made loses every result; nothing else breaks.
  window_->Create();
}

TollInstance::~TollInstance() {
  // The worker posts into the window and reads the input: it ends first.
  if (worker_.joinable()) worker_.join();
  // Destroying the window drops a queued result without running it.
  window_.reset();
  std::lock_guard<std::mutex> lock(outboxMutex_);
  outbox_.clear();
}

int TollInstance::init(Toll* ownerHandle, TollHandler* resultHandler, const char* folder) {
  owner = ownerHandle;
  handler = resultHandler;
  folder_ = folder ? folder : "";
  // The file names follow the folder, given with its separator or without.
  if (!folder_.empty() && !plat::path::EndsWithSeparator(folder_)) folder_ += '/';
  tollPath_ = folder_ + "TOLL.DAT";
  facilPath_ = folder_ + "FACIL.DAT";
  {
    // The cached records belong to the folder given before; so do those
    // of a calculation still running on it.
    std::lock_guard<std::mutex> lock(cacheMutex_);
    cache_.clear();
    ++cacheFolder_;
  }
  if (!plat::path::PathExists(tollPath_.c_str())) return kTollNoTable;
  if (!plat::path::PathExists(facilPath_.c_str())) return kTollNoFacil;
  return 0;
}

int TollInstance::startCalc(const TollInputParam& input) {
  if (input.items.v.empty()) return 0;
  if (worker_.joinable()) {
    if (running_.load(std::memory_order_acquire)) return kBusy;
    worker_.join();
  }
  input_ = input;
  const uint64_t generation = generation_ + 1;
  const uint64_t folder = cachedFolder();
  running_.store(true, std::memory_order_release);
  try {
    worker_ = g_threadStarter.load()(
        [this, generation, folder, tollPath = tollPath_, facilPath = facilPath_]() mutable {
          calcThreadMain(generation, folder, std::move(tollPath), std::move(facilPath));
        });
  } catch (...) {
    // No worker, so no result will come: say so instead of 0.
    running_.store(false, std::memory_order_release);
    return kCannotStart;
  }
  generation_ = generation;
  return 0;
}

void TollInstance::calcThreadMain(uint64_t generation, uint64_t folder, std::string tollPath,
                                  std::string facilPath) {
  TollResult result(new TollResultRaw);
  {
    TollControl control;
    int code = control.open(tollPath.c_str(), facilPath.c_str(), true);
    if (code == 0) {
      {
        // The files were read anew; an init since calc has cleared the
        // cache for its own folder already.
        std::lock_guard<std::mutex> lock(cacheMutex_);
        if (cacheFolder_ == folder) cache_.clear();
      }
      code = control.calc(input_);
      if (code == 0) fillResult(control, *result, folder);
    }
    if (code != 0) result->code = code;  // totals 0, no items, no profiles

    auto message = std::make_unique<TollMessage>();
    message->type = TollMessage::kResult;
    message->result = result;
    message->generation = generation;
    TollMessage* posted = message.get();
    {
      std::lock_guard<std::mutex> lock(outboxMutex_);
      outbox_.push_back(std::move(message));
    }
    window_->post(&TollInstance::dispatchTollMessage, this, posted);
  }  // the calculator closes both files
  result = TollResult();
  running_.store(false, std::memory_order_release);
}

void TollInstance::fillResult(TollControl& control, TollResultRaw& raw, uint64_t folder) {
  raw.items.v.clear();
  for (const TollSection& s : control.sections()) {
    TollResultRaw::Item item;
    item.entrance = s.entrance.facil.number;
    item.entranceKind = s.entrance.facil.kind;
    item.exit = s.exit.facil.number;
    item.exitKind = s.exit.facil.kind;
    item.discount2 = s.discount2;
    item.fee1 = s.fee1;
    item.fee2 = s.fee2;
    item.discount3 = s.discount3;
    item.fee3 = s.fee3;
    for (int k = 0; k < 3; ++k) item.reserved[k] = s.reserved[k];
    raw.items.v.push_back(item);
    // A half without a facility (number 0) holds no record worth keeping.
    if (s.entrance.facil.number != 0) addCached(s.entrance.facil, folder);
    if (s.exit.facil.number != 0) addCached(s.exit.facil, folder);
  }
  raw.code = control.code();
  raw.total1 = control.total1();
  raw.total2 = control.total2();
  raw.total3 = control.total3();
  buildProfiles(control, raw, folder);
}

// One profile per input item: the fees that fall due at that point. A
// section is "taken" by the first point that claims it (entrance or exit
// of the given code), so each section is counted once. Fees of an exit
// that only closes the way into a transit (kind 0x10) are carried to the
// next exit (pending) or back to the entrance profile.
void TollInstance::buildProfiles(TollControl& control, TollResultRaw& raw, uint64_t folder) {
  std::vector<Prof>& profs = raw.profs.v;
  profs.clear();
  const std::vector<TollInputParam::Item>& items = input_.items.v;
  int32_t pending1 = 0, pending2 = 0, pending3 = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const int facility = items[i].facility;
    TollFacilRecord record;
    if (!facilityOf(control, facility, &record, folder)) break;
    const uint8_t kind = record.kind;
    Prof p;
    p.facility = facility;
    p.kind = kind;
    SetFees(p, 0, 0, 0);
    const bool last = i + 1 == items.size();
    const bool firstIsOther = items.front().facility != facility;
    Prof* previous = profs.empty() ? nullptr : &profs.back();

    if (kind & 0x04) {
      if (TollSection* s = control.takeSection(facility, 3))
        Contribute(p, *s);
      else
        SetFees(p, -1, -1, -1);
    }
    if ((kind & 0x01) && !(kind & 0x10)) {
      TollSection* s = control.takeSection(facility, 1);
      if (!s) s = control.takeSection(facility, 5);
      SetFees(p, p.fee1 + pending1 + (s ? s->fee1 : 0), p.fee2 + pending2 + (s ? s->fee2 : 0),
              p.fee3 + pending3 + (s ? s->fee3 : 0));
      if (s) AppendDiscounts(p, *s);
      pending1 = pending2 = pending3 = 0;
    } else if ((kind & 0x01) && (kind & 0x20)) {
      SetFees(p, -1, -1, -1);
      if (TollSection* s = control.takeSection(facility, 5)) {
        pending1 = s->fee1;
        pending2 = s->fee2;
        pending3 = s->fee3;
        AppendDiscounts(p, *s);
      }
    } else if ((kind & 0x01) && last) {
      TollSection* s = control.takeSection(facility, 1);
      if (s && firstIsOther && previous && !(previous->kind & 0x02)) {
        Contribute(p, *s);
      } else {
        if (s && firstIsOther && previous) AddToEarlier(*previous, *s);
        SetFees(p, -1, -1, -1);
      }
    } else if (kind & 0x01) {
      TollFacilRecord next;
      if (!facilityOf(control, items[i + 1].facility, &next, folder)) break;
      if ((next.kind & 0x01) && (next.kind & 0x20)) {
        if (TollSection* s = control.takeSection(facility, 1)) {
          pending1 = s->fee1;
          pending2 = s->fee2;
          pending3 = s->fee3;
          AppendDiscounts(p, *s);
        }
      } else {
        TollSection* s = control.takeSection(facility, 1);
        if (s && firstIsOther && previous && (previous->kind & 0x02)) AddToEarlier(*previous, *s);
      }
      SetFees(p, -1, -1, -1);
    } else if ((kind & 0x08) && !(kind & 0x10)) {
      SetFees(p, 0, 0, 0);
    } else if (!(kind & 0x04)) {
      SetFees(p, -1, -1, -1);
    }
    profs.push_back(std::move(p));
  }
}

bool TollInstance::findCached(int number, TollFacilRecord* out, uint64_t folder) {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  if (cacheFolder_ != folder) return false;
  for (const CachedFacility& c : cache_) {
    if (c.number == number) {
      *out = c.record;
      return true;
    }
  }
  return false;
}

void TollInstance::addCached(const TollFacilRecord& record, uint64_t folder) {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  if (cacheFolder_ == folder) cache_.push_back(CachedFacility{record.number, record});
}

uint64_t TollInstance::cachedFolder() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  return cacheFolder_;
}

bool TollInstance::facilityOf(TollControl& control, int number, TollFacilRecord* out,
                              uint64_t folder) {
  return findCached(number, out, folder) || control.facility(number, out) == 0;
}

int TollInstance::lookupFacility(int number, TollFacilRecord* out) {
  // On the creating thread, as init: the folder cannot change meanwhile.
  const uint64_t folder = cachedFolder();
  if (findCached(number, out, folder)) return 0;
  TollFacil facil;
  if (!facil.open(facilPath_.c_str())) return kTollNoFacil;
  if (!facil.readHeader()) return kTollNoFacility;
  const int code = facil.readFacility(number, out);
  if (code != 0) return code;
  addCached(*out, folder);
  return 0;
}

int TollInstance::dispatchTollMessage(void* object, void* argument) {
  auto* self = static_cast<TollInstance*>(object);
  std::unique_ptr<TollMessage> message;
  {
    std::lock_guard<std::mutex> lock(self->outboxMutex_);
    for (auto it = self->outbox_.begin(); it != self->outbox_.end(); ++it) {
      if (it->get() == argument) {
        message = std::move(*it);
        self->outbox_.erase(it);
        break;
      }
    }
  }
  if (!message) return 0;
  // The worker that sent the message is joined before the handler runs, so
  // that a calc from inside the handler finds no calculation running. A
  // worker started meanwhile (by a calc before this message ran) is left
  // alone.
  if (message->type != TollMessage::kNotify && self->worker_.joinable() &&
      self->generation_ == message->generation)
    self->worker_.join();
  // The handler may destroy the Toll (and this instance): nothing below
  // touches self.
  TollHandler* handler = self->handler;
  Toll* owner = self->owner;
  if (!handler) return 0;
  switch (message->type) {
    case TollMessage::kResult:
      handler->onResult(owner, message->value, message->result);
      break;
    case TollMessage::kCancel:
      handler->onCancel(owner);
      break;
    case TollMessage::kError:
      handler->onError(owner, message->error);
      break;
    case TollMessage::kNotify:
      handler->onNotify(owner);
      break;
    default:
      break;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Toll

Toll::Toll() {
  // Without memory for its state every operation of the Toll answers -1.
  instance_ = CatchAllocationFailure(std::shared_ptr<TollInstance>(),
                                     [] { return std::make_shared<TollInstance>(); });
}

Toll::~Toll() { release(); }

Toll::Toll(const Toll& other) : instance_(other.instance_) {}

Toll& Toll::operator=(const Toll& other) {
  if (instance_ != other.instance_) {
    release();
    instance_ = other.instance_;
  }
  return *this;
}

void Toll::release() {
  if (instance_ && instance_->owner == this) instance_->owner = nullptr;
  instance_.reset();
}

int Toll::init(TollHandler* handler, const char* folder) {
  return instance_ ? instance_->init(this, handler, folder) : kCannotStart;
}

int Toll::calc(TollInputParam* param) {
  if (!instance_) return kCannotStart;
  if (!param) return 0;
  for (TollInputParam::Item& item : param->items.v) item.facility &= 0x7FFF;
  return instance_->startCalc(*param);
}

void Toll::cancel() {}

int Toll::getNodeTF(int facility, uint8_t* kind) {
  if (!instance_) return kCannotStart;
  TollFacilRecord record;
  const int code = instance_->lookupFacility(facility & 0x7FFF, &record);
  if (code == 0 && kind) *kind = record.kind;
  return code;
}

int Toll::getName(int facility, FacilName* name) {
  if (!instance_) return kCannotStart;
  TollFacilRecord record;
  const int code = instance_->lookupFacility(facility & 0x7FFF, &record);
  if (code == 0 && name) {
    name->name = record.name;
    name->name2 = record.name2;
  }
  return code;
}

namespace {

// Opens FACIL.DAT and reads its header: 0, -22, -60.
int OpenFacil(TollFacil& facil, const std::string& path) {
  if (!facil.open(path.c_str())) return kTollNoFacil;
  if (!facil.readHeader()) return kTollNoFacility;
  return 0;
}

// Opens TOLL.DAT, reads its header and looks a discount name up: 0, -21, -50.
int DiscountNameOf(const std::string& path, int table, int first, int second, DiscountName* out) {
  TollTable toll;
  if (!toll.open(path.c_str())) return kTollNoTable;
  const int code = toll.readHeader();
  if (code != 0) return code;
  std::string name;
  if (!toll.discountName(table, first, second, &name)) return kTollBadHeader;
  if (out) out->name = std::move(name);
  return 0;
}

}  // namespace

int Toll::getLL(int facility, int32_t* first, int32_t* second) {
  if (!instance_) return kCannotStart;
  TollFacil facil;
  int code = OpenFacil(facil, instance_->facilPath());
  if (code != 0) return code;
  int32_t a = 0, b = 0;
  code = facil.readCoordinates(facility & 0x7FFF, &a, &b);
  if (code != 0) return code;
  if (first) *first = a;
  if (second) *second = b;
  return 0;
}

int Toll::getDiscountNameETC(uint8_t a, uint8_t b, DiscountName* name) {
  if (!instance_) return kCannotStart;
  return DiscountNameOf(instance_->tollPath(), 1, a, b, name);
}

int Toll::getDiscountNameTransit(uint8_t a, uint8_t /*b*/, DiscountName* name) {
  if (!instance_) return kCannotStart;
  return DiscountNameOf(instance_->tollPath(), 2, a, 0, name);
}

int Toll::getFmtVer() {
  if (!instance_) return kCannotStart;
  TollFacil facil;
  const int code = OpenFacil(facil, instance_->facilPath());
  return code != 0 ? code : facil.formatVersion();
}

int Toll::getConvertDay() {
  if (!instance_) return kCannotStart;
  TollFacil facil;
  const int code = OpenFacil(facil, instance_->facilPath());
  return code != 0 ? code : static_cast<int>(facil.conversionDay());
}
