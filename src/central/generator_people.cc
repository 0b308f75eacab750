#include "central/generator_people.h"

namespace zlv {

namespace {

const std::vector<std::string> kFirstNames = {
    "Ana",     "Bruno",  "Carla",   "Diego",  "Eduarda", "Felipe", "Gabriela", "Henrique",
    "Isabela", "João",   "Larissa", "Marcos", "Natália", "Otávio", "Paula",    "Rafael",
    "Sofia",   "Thiago", "Vitória", "Wagner", "Júlia",   "Caio",   "Letícia",  "André"};
const std::vector<std::string> kLastNames = {
    "Silva",     "Santos",  "Oliveira",   "Souza",  "Lima",     "Pereira", "Ferreira", "Costa",
    "Rodrigues", "Almeida", "Nascimento", "Araújo", "Carvalho", "Gomes",   "Ribeiro",  "Conceição"};
const std::vector<std::string> kStreets = {
    "Rua das Flores",     "Avenida Brasil",       "Rua Sete de Setembro",
    "Rua XV de Novembro", "Avenida Paulista",     "Rua Dom Pedro II",
    "Travessa São João",  "Rua Marechal Deodoro", "Avenida Getúlio Vargas",
    "Rua Tiradentes",     "Alameda Santos",       "Rua Barão do Rio Branco"};
const std::vector<std::string> kComplements = {
    "", "", "Apto 12", "Casa 2", "Bloco B apto 301", "Fundos", "Sala 5"};
const std::vector<std::string> kReferences = {
    "", "", "Perto da padaria", "Portão azul", "Em frente à praça", "Ao lado do mercado"};

std::string Phone(Random& random) { return "119" + random.Digits(8); }

void PlaceAt(Random& random, const MasterData& master, std::map<std::string, Variant>& values) {
  values["DSENDECONS"] = random.Pick(kStreets);
  values["NRENDECONS"] = std::to_string(random.Between(1, 3999));
  values["DSCOMPLENDCONS"] = random.PickText(kComplements);
  values["DSREFERENDECONS"] = random.PickText(kReferences);
  values["NRCEPCONS"] = random.Digits(5) + random.Digits(3);
  if (!master.addresses.empty()) {
    const MasterAddress& address = random.Pick(master.addresses);
    values["CDPAIS"] = address.country;
    values["SGESTADO"] = address.state;
    values["CDMUNICIPIO"] = address.municipality;
    values["CDBAIRRO"] = address.district_code;
    values["NMBAIRRO"] = address.district_name;
  }
  values["NMQUADRANTE"] = "Q" + std::to_string(random.Between(1, 12));
}

}  // namespace

int Random::Between(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(engine_);
}

bool Random::Chance(double probability) {
  return std::uniform_real_distribution<double>(0.0, 1.0)(engine_) < probability;
}

Variant Random::PickText(const std::vector<std::string>& texts) {
  const std::string& text = Pick(texts);
  return text.empty() ? Variant::Null() : Variant(text);
}

std::string Random::Digits(int count) {
  std::string digits;
  for (int i = 0; i < count; ++i) digits.push_back(static_cast<char>('0' + Between(0, 9)));
  return digits;
}

ConsumerRecord NewConsumer(Random& random, const MasterData& master, const std::string& code,
                           DateTime now) {
  ConsumerRecord consumer{master.client, code, {}};
  auto& v = consumer.values;
  v["CDCLIENTE"] = master.client;
  v["CDCONSUMIDOR"] = code;
  v["NMCONSUMIDOR"] =
      random.Pick(kFirstNames) + " " + random.Pick(kLastNames) + " " + random.Pick(kLastNames);
  v["NRTELECONS"] = Phone(random);
  v["NRCELULARCONS"] = Phone(random);
  v["NRTELE2CONS"] = random.Chance(0.3) ? Variant(Phone(random)) : Variant::Null();
  v["NRCPFRESPCON"] = random.Digits(11);
  v["DSEMAILCONS"] = "cliente" + code + "@exemplo.com.br";
  // Many consumers never give a birth date: the store must write those as NULL.
  v["DTNASCCONS"] = random.Chance(0.5)
                        ? Variant(DateTime::FromCivil(random.Between(1950, 2005),
                                                      random.Between(1, 12), random.Between(1, 28)))
                        : Variant::Null();
  v["DTCADCONS"] = now;
  v["DTULTATUCSUM"] = now;
  v["IDATUCONSUMI"] = "N";
  PlaceAt(random, master, v);
  return consumer;
}

void UpdateConsumer(Random& random, const MasterData& master, ConsumerRecord& consumer,
                    DateTime now) {
  if (random.Chance(0.5)) {
    consumer.values["NRTELECONS"] = Phone(random);
  } else {
    PlaceAt(random, master, consumer.values);
  }
  consumer.values["DTULTATUCSUM"] = now;
  consumer.values["IDATUCONSUMI"] = "N";  // the central copy: nothing left for the store to send
}

const std::vector<DeliveryOrigin>& DeliveryOrigins() {
  static const std::vector<DeliveryOrigin> origins = {
      {"DLV_ZLV", false}, {"DLV_APP", false}, {"DLV_SIT", false}, {"DLV_CAL", false},
      {"DLV_IFO", true},  {"DLV_UBR", true},  {"DLV_RAP", true},  {"DLV_ORD", true},
      {"DLV_99F", true},  {"DLV_ANT", true}};
  return origins;
}

bool IsMarketplace(const std::string& origin) {
  for (const auto& known : DeliveryOrigins()) {
    if (origin == known.code) return known.marketplace;
  }
  return false;
}

std::string ExternalNumber(Random& random, const std::string& origin) {
  if (origin == "DLV_IFO") return random.Digits(4);
  if (origin == "DLV_UBR") return random.Digits(3) + "-" + random.Digits(4);
  if (origin == "DLV_RAP") return random.Digits(10);
  return random.Digits(6);
}

const std::vector<std::string>& TabNotes() {
  static const std::vector<std::string> notes = {"",
                                                 "",
                                                 "",
                                                 "Troco para 100",
                                                 "Tocar o interfone",
                                                 "Sem talheres, por favor",
                                                 "Entregar na portaria"};
  return notes;
}

const std::vector<std::string>& ItemNotes() {
  static const std::vector<std::string> notes = {"Bem passado", "Sem cebola", "Molho à parte",
                                                 "Pouco sal", "Sem gelo"};
  return notes;
}

std::map<std::string, Variant> DeliveryAddress(const ConsumerRecord& consumer) {
  const auto value = [&consumer](const char* name) {
    const auto it = consumer.values.find(name);
    return it == consumer.values.end() ? Variant::Null() : it->second;
  };
  return {{"DSENDECONSCOMAN", value("DSENDECONS")},
          {"NRENDECONSCOMAN", value("NRENDECONS")},
          {"DSCOMPLENDCOCOM", value("DSCOMPLENDCONS")},
          {"DSREFENDCONSCOM", value("DSREFERENDECONS")},
          {"NRCEPCONSCOMAND", value("NRCEPCONS")},
          {"CDPAIS", value("CDPAIS")},
          {"SGESTADO", value("SGESTADO")},
          {"CDMUNICIPIO", value("CDMUNICIPIO")},
          {"CDBAIRRO", value("CDBAIRRO")},
          {"DSBAIRRO", value("NMBAIRRO")}};
}

}  // namespace zlv
