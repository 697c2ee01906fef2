// The machine's city, from two services: the binary city service (the city
// record, a JSON text with at least "cityid", read by the "cityblacklist"
// leaf) and the HTTP city-id service (the partner flow's area check).
#pragma once

#include <string>

namespace zeph {

// Asks the three city endpoints in turn with the partner machine id. False
// on any failure and for an error answer ("1#..." or "2#...").
bool CityRecord(std::u16string& record);

// The record kept for the rest of the run: fetched on first use and again on
// every later use while no fetch has succeeded. Empty when unknown. Any
// thread.
std::u16string CachedCityRecord();
// Forgets the kept record (a new run in tests).
void ResetCityRecordCache();

// The HTTP city-id service: the string member "data" of its JSON answer;
// empty on any failure.
void LookupCityId(std::u16string& cityId);

}  // namespace zeph
