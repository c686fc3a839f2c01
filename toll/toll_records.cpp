#include "toll/toll_records.h"

TollResult::TollResult() = default;
TollResult::TollResult(TollResultRaw* raw) : p_(raw) {}
TollResult::TollResult(const TollResult& other) = default;
TollResult& TollResult::operator=(const TollResult& other) = default;
TollResult::~TollResult() = default;

FacilName::FacilName() = default;
FacilName::FacilName(const FacilName& other) = default;
FacilName& FacilName::operator=(const FacilName& other) = default;
FacilName::~FacilName() = default;

DiscountName::DiscountName() = default;
DiscountName::DiscountName(const DiscountName& other) = default;
DiscountName& DiscountName::operator=(const DiscountName& other) = default;
DiscountName::~DiscountName() = default;
