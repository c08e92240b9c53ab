#pragma once
// The page header and footer the attendance reports share: "Tallyclock" at the left, the
// report title centred, an optional range label at the right; "Printed on" with the printing
// time and "P." with the page number at the bottom. Main thread only.

#include <QString>

class TReportForm;
class TReportLabel;

// Adds both bands across the printable width (mm); returns the range label, or nullptr when
// rangeName is empty.
TReportLabel *AddPageHeaderAndFooter(TReportForm &form, double width, const QString &rangeName);
