# One roster's start-cutting, finish-cutting and closing lines, and each customer's first line:
# when the exact schedule (or the customer's delay) puts them against when they arrived.
# Called with -e "data='...'; out='...'".
set terminal pngcairo size 900,700 font ",10"
set output out
set multiplot layout 2,1 title "Ideal against measured event times, one roster of 10 customers"

set key top left
set grid
set ylabel "measured (ms after Run)"
set xlabel ""
set format x ""
set lmargin 12
plot x with lines lc "gray" title "ideal", \
     data using 1:(strcol(4) eq "arrival" ? $2 : 1/0) with points pt 6 ps 1 title "customer's first line", \
     data using 1:(strcol(4) eq "finish" ? $2 : 1/0) with points pt 4 ps 1.8 title "finish cutting", \
     data using 1:(strcol(4) eq "start" ? $2 : 1/0) with points pt 7 ps 0.9 title "start cutting", \
     data using 1:(strcol(4) eq "closing" ? $2 : 1/0) with points pt 9 ps 1.5 title "closing line"

set key top left
set format x "%g"
set xlabel "ideal (ms after Run)"
set ylabel "measured - ideal (ms)"
plot 0 with lines lc "gray" notitle, \
     data using 1:(strcol(4) eq "arrival" ? $3 : 1/0) with points pt 6 ps 1 title "customer's first line", \
     data using 1:(strcol(4) eq "finish" ? $3 : 1/0) with points pt 4 ps 1.8 title "finish cutting", \
     data using 1:(strcol(4) eq "start" ? $3 : 1/0) with points pt 7 ps 0.9 title "start cutting", \
     data using 1:(strcol(4) eq "closing" ? $3 : 1/0) with points pt 9 ps 1.5 title "closing line"
unset multiplot
