A;B
A; B
"x;y";Z
;;lead;;trail;;
