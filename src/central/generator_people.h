// The consumers of generated orders: new ones with Brazilian names, phones and addresses, and
// known ones coming back with a changed phone or address and a later DTULTATUCSUM (the store
// then overwrites its copy). Also what the order generator and the channel order maker share:
// the random helpers, the channels' origins and the customers' notes.
//
// Not thread-safe: one generator run owns its random engine.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "central/master_data.h"
#include "data/datetime.h"
#include "data/variant.h"

namespace zlv {

class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed) {}
  int Between(int low, int high);  // inclusive
  bool Chance(double probability);
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items.at(static_cast<std::size_t>(Between(0, static_cast<int>(items.size()) - 1)));
  }
  std::string Digits(int count);
  // One of the texts; an empty one stands for "none" and gives Null.
  Variant PickText(const std::vector<std::string>& texts);
  std::mt19937_64& engine() { return engine_; }

 private:
  std::mt19937_64 engine_;
};

ConsumerRecord NewConsumer(Random& random, const MasterData& master, const std::string& code,
                           DateTime now);
// The same consumer moved house or changed phone; DTULTATUCSUM becomes `now`.
void UpdateConsumer(Random& random, const MasterData& master, ConsumerRecord& consumer,
                    DateTime now);

// The delivery address columns of an order tab for a consumer (street, number, district...).
std::map<std::string, Variant> DeliveryAddress(const ConsumerRecord& consumer);

// Where delivery orders come from (IDORGCMDVENDA codes). A marketplace's orders are paid
// online, carry the marketplace's own number and the consumer's name on the tab.
struct DeliveryOrigin {
  const char* code;
  bool marketplace;
};
const std::vector<DeliveryOrigin>& DeliveryOrigins();
bool IsMarketplace(const std::string& origin);
// The number the marketplace shows its customer, in that marketplace's format.
std::string ExternalNumber(Random& random, const std::string& origin);

// What customers write on an order (an empty text: nothing) and on an item.
const std::vector<std::string>& TabNotes();
const std::vector<std::string>& ItemNotes();

}  // namespace zlv
